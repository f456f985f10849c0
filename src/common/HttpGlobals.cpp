#include "common/HttpGlobals.h"

std::string httpHostQuorvina = "172.26.22.23";
const char* const httpBaseLogosProgramas =
    "/appclient/incoming/covers/programmeImages/landscape/big/%d/%d.jpg";
std::string httpHostQuorvinaConfiguracion = "172.26.22.23";

SharedText httpSessionID;
SharedText IPAdaptador;

std::string SharedText::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

void SharedText::Set(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  text_ = text;
}

bool SharedText::SetIfEmpty(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!text_.empty()) return false;
  text_ = text;
  return true;
}

bool SharedText::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_.empty();
}

void SharedText::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  text_.clear();
}
