// The nightly window of automatic copies. The user sets it in the
// operator's hours (decimal hours written hour.minute: 1.30 is half past
// one); the machine's clock runs the platform's hour offset behind them.
// A window may cross midnight (23.00 to 6.00), 0.0 to 24.0 is the whole
// day, and equal start and end make it empty.
#pragma once

class VentanaSincronizacion {
 public:
  static constexpr int kMinutosDia = 24 * 60;

  VentanaSincronizacion() = default;
  VentanaSincronizacion(float inicio, float fin, int horasDiferencia);

  bool Vacia() const { return m_duracion == 0; }
  // Whether the machine's hour and minute fall inside; the end minute is.
  bool Contiene(int hora, int minuto) const;
  int HoraInicio() const { return m_inicio / 60; }
  int MinutoInicio() const { return m_inicio % 60; }
  int Duracion() const { return m_duracion; }  // minutes; kMinutosDia is all day

  // Minutes of the day of a decimal hour setting: the fraction's two
  // digits are minutes, at most 59; out of range values are clamped to 0..24.
  static int Minutos(float horaDecimal);

 private:
  int m_inicio = 0;    // minute of the day on the machine's clock
  int m_duracion = 0;  // minutes
};
