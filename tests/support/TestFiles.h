#pragma once
// Temporary files and folders for the tests, removed when the test ends.

#include "support/StreamWriter.h"

#include <string>

class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Writes bytes to a file in the folder and returns its path.
    std::string Write(const std::string& name, const Bytes& bytes) const;

private:
    std::string m_path;
};

Bytes ReadWholeFile(const std::string& path);
