// Number, text and time conversions.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

int ConvertStringtoint(const std::string& text);
std::string convertInttoString(long long value);
std::string convertInttoStringPad(long long value, int width);
std::string convertdoubletoString(double value);
std::string convertSize_ttoString(size_t value);
time_t ConvertStringtoTimer(const std::string& text);
std::string convertTimertoString(time_t value);
bool ConvertStringtobool(const std::string& text);
std::string ConvertToHex(unsigned char byte);
int ConvertHextoint(const std::string& text);
std::string RecuperarDirecionString(const void* pointer);

// Local time of the machine.
time_t ConvertStringtotime_T(const std::string& text);
std::string Converttime_Ttostring(time_t value);
std::string Converttime_TtostringHora(time_t value);
std::string Converttime_TtostringFecha(time_t value);
