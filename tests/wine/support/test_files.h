// Files and folders of the Wine tests.
#pragma once
#include <string>

// A fresh empty folder under the temporary directory; its path ends in "\".
std::string MakeTempFolder(const char* tag);
// The whole file, or "<missing>" when it cannot be opened.
std::string ReadFileBytes(const std::string& path);
bool PathExists(const std::string& path);
// How often `what` occurs in `text`.
int CountOf(const std::string& text, const std::string& what);
