// Reading of the add-on's own stored XML files.
#pragma once

#include <string>

#include "common/XMLNode.h"

// Parses a stored file, its path given in UTF-8, looking for `root`. The
// empty node when the file is missing, which is normal before its first
// writing and is not logged, or when it is malformed, which is logged with
// the file's name, the error and where it was found.
XMLNode ParseStoredFile(const std::string& path, const char* root, const std::string& name);

// A stored file rewritten through its complete copy (ReescribirFichero):
// the file, or the copy when the file is missing or cut.
XMLNode ParseStoredFileOrCopy(const std::string& path, const char* root, const std::string& name);

// The attribute's text, or empty when it is absent.
std::string Attr(const XMLNode& node, const char* name);
