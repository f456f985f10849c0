// Channel logos for one load of the line-up: the downloaded copy in the logo
// folder, the image from the application server, the image shipped with the
// add-on, or the default one. Downloads are given up for the rest of a load
// after four fall-backs without a single success, so a load without the
// logo server does not wait on every channel.
#pragma once

#include <functional>
#include <string>

class LogoResolver {
 public:
  // Downloads a path of the application server into a local file; true on
  // success.
  using Download = std::function<bool(const std::string& path, const std::string& file)>;
  // Tells a download to give up (the add-on is stopping).
  using Stop = std::function<bool()>;

  static constexpr const char* httpBaseLogos = "/appclient/incoming/epg/big/";

  // `logoFolder` holds the downloads; `clientFolder` is the add-on's own
  // folder with its "Logos/".
  LogoResolver(std::string logoFolder, std::string clientFolder, Download download,
               Stop stop = nullptr);

  // A "Logo" value of "Canales.xml", counted towards the give-up rule.
  std::string Resolve(const std::string& value);
  // A "Logo" value of an external channel; downloads only for operator
  // channels and never gives up.
  std::string ResolveExternal(const std::string& value, bool operador);

  // The logo folder's copy, downloaded when missing; empty on failure.
  std::string ObtenerLogotipo(const std::string& value);
  // The part after the last "/"; the whole value when it has none or only a
  // leading one.
  static std::string NombreLogotipo(const std::string& logo);
  // The image shown when no other is found.
  static std::string DefaultLogo(const std::string& clientFolder);

  bool downloading() const { return download_on_; }
  // Logos that were neither in the logo folder nor downloaded.
  int fallbacks() const { return fallbacks_; }

 private:
  std::string ShippedLogo(const std::string& value) const;
  bool Stopping() const { return stop_ && stop_(); }

  std::string logoFolder_;
  std::string clientFolder_;
  Download download_;
  Stop stop_;
  bool download_on_ = true;
  bool succeeded_ = false;
  int fallbacks_ = 0;
};
