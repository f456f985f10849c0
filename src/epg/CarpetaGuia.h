// The guide's folders on disk: listing their files and reading one whole.
#pragma once

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Names of the files (not folders) in a folder, in name order; empty when the
// folder can't be read. The path is UTF-8; the disk's names are Windows-1252.
std::vector<std::string> ListarFicheros(const std::string& folder);

// A folder's listing kept while the folder stays as it was: every guide
// request lists the guide folder, which changes only when a day arrives.
class ListadoCarpeta {
 public:
  using Nombres = std::shared_ptr<const std::vector<std::string>>;
  // As ListarFicheros, listed again only when the folder changed.
  Nombres Ficheros(const std::string& folder);

 private:
  std::mutex mutex_;  // guards the four below
  std::string folder_;
  timespec changed_{};  // the folder's modification time when listed
  bool reusable_ = false;
  Nombres names_;
};

// The whole file, read through the host; empty when missing.
std::string LeerFichero(const std::string& path);

// The first segment id in a guide or details file name: the text between
// the first "_" (after the first character) and the first ".xml"; empty when
// the name is not of that shape.
std::string SegmentoDeFichero(const std::string& name);
