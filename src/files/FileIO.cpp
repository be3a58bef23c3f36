#include "files/FileIO.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Files
{

std::string FileErrorText(int errorCode)
{
  const char *text = strerrordesc_np(errorCode);
  if (text == nullptr)
    return "File I/O error " + std::to_string(errorCode);
  std::string message = text;
  while (!message.empty()) {
    const unsigned char last = message.back();
    if (last > ' ' && last != '.' && last != 0x7f)
      break;
    message.pop_back();
  }
  return message;
}

EFileError::EFileError(int errorCode) : std::runtime_error(FileErrorText(errorCode)), ErrorCode(errorCode) {}

EFileError::EFileError(int errorCode, const std::string &message)
    : std::runtime_error(message), ErrorCode(errorCode)
{
}

TFile::~TFile()
{
  Close();
}

void TFile::Create(const std::string &fileName, int createMode, int accessMode, int /*shareMode*/,
                   mode_t permissions)
{
  static const int createFlags[] = {O_CREAT | O_TRUNC, O_CREAT | O_EXCL, 0, O_CREAT, O_TRUNC};
  static const int accessFlags[] = {O_RDONLY, O_WRONLY, O_RDWR};
  if (createMode < 0 || createMode > 4 || accessMode < 0 || accessMode > 2)
    throw EFileError(EINVAL);
  Close();
  const int fd =
      open(fileName.c_str(), createFlags[createMode] | accessFlags[accessMode] | O_CLOEXEC, permissions);
  if (fd < 0)
    throw EFileError(errno);
  Handle = fd;
  OwnsHandle = true;
}

void TFile::Close()
{
  if (OwnsHandle && Handle >= 0)
    close(Handle);
  Handle = -1;
  OwnsHandle = false;
}

int64_t TFile::Size64() const
{
  struct stat st {
  };
  if (fstat(Handle, &st) != 0)
    throw EFileError(errno);
  return st.st_size;
}

int32_t TFile::Size() const
{
  const int64_t size = Size64();
  return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

size_t TFile::Read(void *buffer, size_t count)
{
  for (;;) {
    const ssize_t got = read(Handle, buffer, count);
    if (got >= 0)
      return static_cast<size_t>(got);
    if (errno != EINTR)
      throw EFileError(errno);
  }
}

void TFile::ReadBuffer(void *buffer, size_t count)
{
  size_t done = 0;
  while (done < count) {
    const size_t got = Read(static_cast<char *>(buffer) + done, count - done);
    if (got == 0)
      throw EFileError(ENODATA, "Reached the end of the file");
    done += got;
  }
}

void TFile::WriteBuffer(const void *buffer, size_t count)
{
  size_t done = 0;
  while (done < count) {
    const ssize_t put = write(Handle, static_cast<const char *>(buffer) + done, count - done);
    if (put < 0 && errno == EINTR)
      continue;
    if (put <= 0)
      throw EFileError(put < 0 ? errno : EIO);
    done += static_cast<size_t>(put);
  }
}

static EFileError NamedError(const char *what, const std::string &fileName, int errorCode)
{
  return EFileError(errorCode, std::string(what) + " \"" + fileName + "\". " + FileErrorText(errorCode));
}

std::string LoadFileToString(const std::string &fileName)
{
  TFile file;
  try {
    file.Create(fileName, 2, 0, 3);
  } catch (const EFileError &e) {
    throw NamedError("Cannot open file", fileName, e.ErrorCode);
  }
  std::string data;
  try {
    char chunk[65536];
    while (const size_t got = file.Read(chunk, sizeof chunk))
      data.append(chunk, got);
  } catch (const EFileError &e) {
    throw NamedError("Cannot read file", fileName, e.ErrorCode);
  }
  return data;
}

void SaveStringToFile(const std::string &fileName, const std::string &data)
{
  TFile file;
  try {
    file.Create(fileName, 0, 1, 0);
  } catch (const EFileError &e) {
    throw NamedError("Cannot create file", fileName, e.ErrorCode);
  }
  try {
    file.WriteBuffer(data.data(), data.size());
  } catch (const EFileError &e) {
    throw NamedError("Cannot write file", fileName, e.ErrorCode);
  }
}

std::string ReadToEnd(int fd)
{
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0)
      text.append(buffer, static_cast<size_t>(n));
  return text;
}

} // namespace Files
