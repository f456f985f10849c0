// Text clean-up, Spanish character handling and small list helpers.
#pragma once

#include <string>
#include <vector>

size_t SustituirCaracter(std::string& text, const std::string& from, const std::string& to);
void SustituirSaltosporespacios(std::string& text);
void SuprimirSaltos(std::string& text);
std::string stringtoescape(const std::string& text);
std::string barraadoblebarra(const std::string& text);
bool CoincidePatronInicio(const std::string& text, const std::string& pattern);
bool CoincidePatronFinal(const std::string& text, const std::string& pattern);

std::vector<std::string> split(const std::string& text, char delimiter);
std::vector<std::string>& split(const std::string& text, char delimiter,
                                std::vector<std::string>& pieces);

// Value of a key in a flat JSON-like text, without quotes, braces or brackets.
std::string ObtenerValor(const std::string& text, const std::string& key);
std::string ObtenerValor(const std::string& text, const std::string& key,
                         const std::string& separator, const std::string& terminator);

std::string ObtenerGeneroCompleto(const std::string& genre, const std::string& subgenre);
std::string StringColorAzul(const std::string& text);

bool ExistInvector(const std::vector<std::string>& list, const std::string& value);
bool ExistInvector(const std::vector<int>& list, int value);
bool ExistInvector(const std::vector<unsigned int>& list, unsigned int value);
void Deletevector(std::vector<std::string>& list, const std::string& value);
std::vector<std::string> Deletevector(const std::vector<std::string>& list,
                                      const std::string& value, bool copy);
void Deletevector(std::vector<int>& list, int value);

// Windows-1252 <-> UTF-8 for the Spanish letters the system meets.
std::string De1252aUTF8(const std::string& text);
std::string DeUTF8a1252(const std::string& text);
std::string stringtolower(const std::string& text);
void NormalidarFileName(std::string& text);

std::string ObtenerUUID();
