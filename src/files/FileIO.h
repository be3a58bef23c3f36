#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/types.h>

namespace Files
{

// A failed file operation. ErrorCode is the errno value; the message is the system's text for it
// without trailing blanks, control characters and full stops, or "File I/O error %d" when the
// system has none.
class EFileError : public std::runtime_error
{
public:
  explicit EFileError(int errorCode);
  EFileError(int errorCode, const std::string &message);
  int ErrorCode;
};

// The system's text for an errno value, trimmed as EFileError does it.
std::string FileErrorText(int errorCode);

// Owner of one POSIX file descriptor.
class TFile
{
public:
  TFile() = default;
  TFile(const TFile &) = delete;
  TFile &operator=(const TFile &) = delete;
  ~TFile();

  // Create mode 0..4: create always, create new, open existing, open always, truncate existing.
  // Access mode 0..2: read, write, both. Share mode 0..3 (none, read, write, both) is accepted
  // for callers' sake; POSIX has no share locks. New files get `permissions` (less the umask).
  void Create(const std::string &fileName, int createMode, int accessMode, int shareMode,
              mode_t permissions = 0666);
  void Close();

  int64_t Size64() const;
  // Size64 saturated to 2,147,483,647.
  int32_t Size() const;
  // Bytes read (0 at end of file); EFileError on failure. Retries interrupted reads.
  size_t Read(void *buffer, size_t count);
  // Exactly count bytes or EFileError (a short read gives ENODATA, "Reached the end of the file").
  void ReadBuffer(void *buffer, size_t count);
  // All count bytes or EFileError.
  void WriteBuffer(const void *buffer, size_t count);

  int Handle = -1;
  bool OwnsHandle = false;
};

// The whole file as bytes; EFileError naming the file on failure.
std::string LoadFileToString(const std::string &fileName);

// Reads an open descriptor (a pipe, a /proc file) until its end; what came before a read error.
std::string ReadToEnd(int fd);

// Creates or truncates the file and writes the bytes; EFileError naming the file on failure.
void SaveStringToFile(const std::string &fileName, const std::string &data);

} // namespace Files
