#include "tree/ElfNeeded.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace Tree
{

namespace
{

// Bounds that no real file comes near; a header claiming more is damaged.
constexpr size_t MaxProgramHeaders = 4096;
constexpr size_t MaxDynamicBytes = 1 << 20;
constexpr size_t MaxStringTableBytes = 64 << 20;

class TReader
{
public:
  explicit TReader(const std::string &path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC))
  {
    struct stat info {
    };
    if (fd_ >= 0 && (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
      close(fd_);
      fd_ = -1;
    }
    size_ = fd_ >= 0 ? static_cast<uint64_t>(info.st_size) : 0;
  }
  ~TReader()
  {
    if (fd_ >= 0)
      close(fd_);
  }
  TReader(const TReader &) = delete;
  TReader &operator=(const TReader &) = delete;

  bool Read(uint64_t offset, void *buffer, size_t count) const
  {
    if (fd_ < 0 || offset > size_ || count > size_ - offset)
      return false;
    return pread(fd_, buffer, count, static_cast<off_t>(offset)) == static_cast<ssize_t>(count);
  }

private:
  int fd_;
  uint64_t size_ = 0;
};

template <typename Ehdr, typename Phdr, typename Dyn>
std::optional<std::vector<std::string>> ReadNeeded(const TReader &file)
{
  Ehdr header{};
  if (!file.Read(0, &header, sizeof header) || header.e_phentsize != sizeof(Phdr) ||
      header.e_phnum > MaxProgramHeaders)
    return std::nullopt;
  std::vector<Phdr> segments(header.e_phnum);
  if (!file.Read(header.e_phoff, segments.data(), segments.size() * sizeof(Phdr)))
    return std::nullopt;

  const Phdr *dynamic = nullptr;
  for (const Phdr &segment : segments)
    if (segment.p_type == PT_DYNAMIC)
      dynamic = &segment;
  if (dynamic == nullptr)
    return std::vector<std::string>{};
  if (dynamic->p_filesz > MaxDynamicBytes)
    return std::nullopt;
  std::vector<Dyn> entries(dynamic->p_filesz / sizeof(Dyn));
  if (!file.Read(dynamic->p_offset, entries.data(), entries.size() * sizeof(Dyn)))
    return std::nullopt;

  uint64_t tableAddress = 0;
  uint64_t tableSize = 0;
  std::vector<uint64_t> names;
  for (const Dyn &entry : entries) {
    if (entry.d_tag == DT_NULL)
      break;
    if (entry.d_tag == DT_NEEDED)
      names.push_back(entry.d_un.d_val);
    else if (entry.d_tag == DT_STRTAB)
      tableAddress = entry.d_un.d_ptr;
    else if (entry.d_tag == DT_STRSZ)
      tableSize = entry.d_un.d_val;
  }
  if (names.empty())
    return std::vector<std::string>{};
  if (tableSize == 0 || tableSize > MaxStringTableBytes)
    return std::nullopt;

  // The string table is given by its address in memory; the loadable segments map it to the file.
  std::optional<uint64_t> tableOffset;
  for (const Phdr &segment : segments)
    if (segment.p_type == PT_LOAD && tableAddress >= segment.p_vaddr &&
        tableAddress - segment.p_vaddr < segment.p_filesz)
      tableOffset = tableAddress - segment.p_vaddr + segment.p_offset;
  std::string table(tableSize, '\0');
  if (!tableOffset || !file.Read(*tableOffset, table.data(), table.size()))
    return std::nullopt;

  std::vector<std::string> needed;
  for (const uint64_t name : names) {
    if (name >= table.size())
      return std::nullopt;
    needed.emplace_back(table.c_str() + name, strnlen(table.c_str() + name, table.size() - name));
  }
  return needed;
}

} // namespace

bool IsElfFile(const std::string &path)
{
  unsigned char magic[SELFMAG];
  return TReader(path).Read(0, magic, sizeof magic) && std::memcmp(magic, ELFMAG, SELFMAG) == 0;
}

std::optional<std::vector<std::string>> ReadNeededLibraries(const std::string &path)
{
  const TReader file(path);
  unsigned char ident[EI_NIDENT];
  if (!file.Read(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
      ident[EI_DATA] != ELFDATA2LSB)
    return std::nullopt;
  if (ident[EI_CLASS] == ELFCLASS64)
    return ReadNeeded<Elf64_Ehdr, Elf64_Phdr, Elf64_Dyn>(file);
  if (ident[EI_CLASS] == ELFCLASS32)
    return ReadNeeded<Elf32_Ehdr, Elf32_Phdr, Elf32_Dyn>(file);
  return std::nullopt;
}

} // namespace Tree
