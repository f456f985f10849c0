#include "series/VentanaSincronizacion.h"

#include <cmath>

namespace {
int Modulo(int valor, int base) {
  const int r = valor % base;
  return r < 0 ? r + base : r;
}
}  // namespace

int VentanaSincronizacion::Minutos(float horaDecimal) {
  if (!(horaDecimal > 0)) return 0;  // NaN too
  if (horaDecimal >= 24) return kMinutosDia;
  const int hora = static_cast<int>(horaDecimal);
  int minuto = static_cast<int>(std::lround((horaDecimal - static_cast<float>(hora)) * 100));
  if (minuto > 59) minuto = 59;
  return hora * 60 + minuto;
}

VentanaSincronizacion::VentanaSincronizacion(float inicio, float fin, int horasDiferencia) {
  const int desde = Minutos(inicio);
  const int hasta = Minutos(fin);
  m_duracion = Modulo(hasta - desde, kMinutosDia);
  if (m_duracion == 0 && hasta != desde) m_duracion = kMinutosDia;  // 0.0 to 24.0
  m_inicio = Modulo(desde - horasDiferencia * 60, kMinutosDia);
}

bool VentanaSincronizacion::Contiene(int hora, int minuto) const {
  if (Vacia()) return false;
  if (m_duracion >= kMinutosDia) return true;
  return Modulo(hora * 60 + minuto - m_inicio, kMinutosDia) <= m_duracion;
}
