#include "resources/ResourceStore.h"

#include "files/FileIO.h"
#include "files/FileText.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace Files;

// Layout of a file with a store: [content][resource data][table][trailer]. The trailer is the
// last TrailerSize bytes; the checksum covers resource data and table. All integers little-endian.
// Table entry: type u16, language u16, id u16, name length u16 (0 = numbered), data offset u32
// (from the store's start), data size u32, then the name's bytes. Entries are strictly ascending.

namespace Resources
{

namespace
{

constexpr char Magic[8] = {'C', 'o', 'r', 'v', 'R', 'e', 's', '\x1a'};
constexpr uint32_t Version = 1;
constexpr size_t TrailerSize = 48;
constexpr size_t EntryHeaderSize = 16;

struct TTrailer {
  uint32_t Count;
  uint64_t StoreOffset;
  uint64_t TableOffset;
  uint64_t TableSize;
  uint32_t Checksum;
};

uint64_t GetLE(const char *p, int bytes)
{
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(p[i]);
  return value;
}

void PutLE(std::string &out, uint64_t value, int bytes)
{
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

uint32_t Crc32(std::string_view data)
{
  uLong crc = crc32(0L, Z_NULL, 0);
  for (size_t done = 0; done < data.size();) {
    const uInt chunk = static_cast<uInt>(std::min<size_t>(data.size() - done, 1u << 30));
    crc = crc32(crc, reinterpret_cast<const Bytef *>(data.data() + done), chunk);
    done += chunk;
  }
  return static_cast<uint32_t>(crc);
}

// Checks everything the trailer alone can tell against the file size.
bool DecodeTrailer(const char *p, uint64_t fileSize, TTrailer &trailer)
{
  if (fileSize < TrailerSize || std::memcmp(p, Magic, sizeof Magic) != 0 || GetLE(p + 8, 4) != Version ||
      GetLE(p + 44, 4) != 0)
    return false;
  trailer.Count = static_cast<uint32_t>(GetLE(p + 12, 4));
  trailer.StoreOffset = GetLE(p + 16, 8);
  trailer.TableOffset = GetLE(p + 24, 8);
  trailer.TableSize = GetLE(p + 32, 8);
  trailer.Checksum = static_cast<uint32_t>(GetLE(p + 40, 4));
  const uint64_t end = fileSize - TrailerSize;
  return trailer.StoreOffset <= trailer.TableOffset && trailer.TableOffset <= end &&
         trailer.TableSize == end - trailer.TableOffset && end - trailer.StoreOffset <= MaxStoreBytes &&
         trailer.Count <= trailer.TableSize / EntryHeaderSize;
}

int CompareKeys(const TResource &a, const TResource &b)
{
  if (a.Type != b.Type)
    return a.Type < b.Type ? -1 : 1;
  if (const int byName = a.Name.Compare(b.Name))
    return byName;
  if (a.Language != b.Language)
    return a.Language < b.Language ? -1 : 1;
  return 0;
}

// Parses the store region (resource data and table); false when anything is out of place.
bool ParseRegion(const TTrailer &trailer, std::string_view region, TResourceList &resources)
{
  if (Crc32(region) != trailer.Checksum)
    return false;
  const uint64_t dataSize = trailer.TableOffset - trailer.StoreOffset;
  const std::string_view table = region.substr(dataSize);
  size_t pos = 0;
  for (uint32_t i = 0; i < trailer.Count; ++i) {
    if (table.size() - pos < EntryHeaderSize)
      return false;
    const char *e = table.data() + pos;
    const size_t nameLength = GetLE(e + 6, 2);
    const uint64_t offset = GetLE(e + 8, 4);
    const uint64_t size = GetLE(e + 12, 4);
    pos += EntryHeaderSize;
    if (nameLength > MaxResourceNameBytes || table.size() - pos < nameLength || offset > dataSize ||
        size > dataSize - offset)
      return false;
    TResName name = nameLength == 0 ? TResName(static_cast<uint16_t>(GetLE(e + 4, 2)))
                                    : TResName(std::string(table.substr(pos, nameLength)));
    pos += nameLength;
    TResource resource{static_cast<uint16_t>(GetLE(e, 2)), std::move(name),
                       static_cast<uint16_t>(GetLE(e + 2, 2)), std::string(region.substr(offset, size))};
    if (!resources.empty() && CompareKeys(resources.back(), resource) >= 0)
      return false;
    resources.push_back(std::move(resource));
  }
  return pos == table.size();
}

bool ReadAt(int fd, char *buffer, size_t count, uint64_t offset)
{
  size_t done = 0;
  while (done < count) {
    const ssize_t got = pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

// Reads the store of an open file; EFileError when reading fails.
TResourceStore ReadStore(int fd)
{
  struct stat st {
  };
  if (fstat(fd, &st) != 0)
    throw EFileError(errno);
  if (!S_ISREG(st.st_mode))
    throw EFileError(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  TResourceStore store;
  const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
  store.ContentSize = fileSize;
  if (fileSize < TrailerSize)
    return store;
  char raw[TrailerSize];
  if (!ReadAt(fd, raw, TrailerSize, fileSize - TrailerSize))
    throw EFileError(errno ? errno : EIO);
  TTrailer trailer{};
  if (!DecodeTrailer(raw, fileSize, trailer))
    return store;
  std::string region(fileSize - TrailerSize - trailer.StoreOffset, '\0');
  if (!ReadAt(fd, region.data(), region.size(), trailer.StoreOffset))
    throw EFileError(errno ? errno : EIO);
  if (ParseRegion(trailer, region, store.Resources))
    store.ContentSize = trailer.StoreOffset;
  else
    store.Resources.clear();
  return store;
}

int Upper(unsigned char c)
{
  return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

} // namespace

TResName TResName::Parse(const std::string &text)
{
  const std::string digits = (!text.empty() && text[0] == '#') ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return TResName(text);
  const unsigned long value = std::stoul(digits);
  return value <= 0xffff ? TResName(static_cast<uint16_t>(value)) : TResName(text);
}

std::string TResName::ToString() const
{
  return IsNumber() ? std::to_string(FId) : FText;
}

int TResName::Compare(const TResName &other) const
{
  if (IsNumber() != other.IsNumber())
    return IsNumber() ? 1 : -1;
  if (IsNumber())
    return FId == other.FId ? 0 : (FId < other.FId ? -1 : 1);
  const size_t common = std::min(FText.size(), other.FText.size());
  for (size_t i = 0; i < common; ++i) {
    const int a = Upper(FText[i]), b = Upper(other.FText[i]);
    if (a != b)
      return a < b ? -1 : 1;
  }
  return FText.size() == other.FText.size() ? 0 : (FText.size() < other.FText.size() ? -1 : 1);
}

TResourceStore ParseResourceStore(std::string_view image)
{
  TResourceStore store;
  store.ContentSize = image.size();
  TTrailer trailer{};
  if (image.size() < TrailerSize ||
      !DecodeTrailer(image.data() + image.size() - TrailerSize, image.size(), trailer))
    return store;
  const std::string_view region =
      image.substr(trailer.StoreOffset, image.size() - TrailerSize - trailer.StoreOffset);
  if (ParseRegion(trailer, region, store.Resources))
    store.ContentSize = trailer.StoreOffset;
  else
    store.Resources.clear();
  return store;
}

TResourceStore ReadResourceStore(const std::string &fileName)
{
  TFile file;
  file.Create(fileName, 2, 0, 3);
  return ReadStore(file.Handle);
}

std::string SerializeResourceStore(const TResourceList &resources, uint64_t contentSize)
{
  TResourceList sorted = resources;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const TResource &a, const TResource &b) { return CompareKeys(a, b) < 0; });
  std::string data, table;
  for (const TResource &r : sorted) {
    if (r.Name.Text().size() > MaxResourceNameBytes)
      throw std::length_error("Resource name too long: " + r.Name.Text().substr(0, 64));
    PutLE(table, r.Type, 2);
    PutLE(table, r.Language, 2);
    PutLE(table, r.Name.Id(), 2);
    PutLE(table, r.Name.Text().size(), 2);
    PutLE(table, data.size(), 4);
    PutLE(table, r.Data.size(), 4);
    table += r.Name.Text();
    data += r.Data;
    if (data.size() + table.size() > MaxStoreBytes)
      throw std::length_error("Resources exceed " + std::to_string(MaxStoreBytes) + " bytes");
  }
  std::string store = data + table;
  const uint32_t checksum = Crc32(store);
  store.append(Magic, sizeof Magic);
  PutLE(store, Version, 4);
  PutLE(store, sorted.size(), 4);
  PutLE(store, contentSize, 8);
  PutLE(store, contentSize + data.size(), 8);
  PutLE(store, table.size(), 8);
  PutLE(store, checksum, 4);
  PutLE(store, 0, 4);
  return store;
}

const TResource *FindResource(const TResourceList &resources, uint16_t type, const TResName &name)
{
  const TResource *found = nullptr;
  for (const TResource &r : resources)
    if (r.Type == type && r.Name == name && (found == nullptr || r.Language < found->Language))
      found = &r;
  return found;
}

std::vector<uint16_t> ResourceLanguages(const TResourceList &resources, uint16_t type, const TResName &name)
{
  std::vector<uint16_t> languages;
  for (const TResource &r : resources)
    if (r.Type == type && r.Name == name)
      languages.push_back(r.Language);
  std::sort(languages.begin(), languages.end());
  return languages;
}

bool SetResource(TResourceList &resources, uint16_t type, const TResName &name, uint16_t language,
                 std::string data)
{
  if (name.Text().size() > MaxResourceNameBytes) {
    errno = EINVAL;
    return false;
  }
  if (data.size() > MaxStoreBytes) {
    errno = EFBIG;
    return false;
  }
  for (TResource &r : resources)
    if (r.Type == type && r.Language == language && r.Name == name) {
      r.Data = std::move(data);
      return true;
    }
  resources.push_back(TResource{type, name, language, std::move(data)});
  return true;
}

void DeleteResource(TResourceList &resources, uint16_t type, const TResName &name, uint16_t language)
{
  std::erase_if(resources, [&](const TResource &r) {
    return r.Type == type && r.Language == language && r.Name == name;
  });
}

TResourceUpdate::TResourceUpdate(const std::string &fileName)
{
  char *real = realpath(fileName.c_str(), nullptr);
  if (real == nullptr)
    throw EFileError(errno);
  FPath = real;
  free(real);
  // A file without write permission stays as it is, like a read-only file elsewhere.
  if (access(FPath.c_str(), W_OK) != 0)
    throw EFileError(errno);
  FHandle = open(FPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (FHandle < 0)
    throw EFileError(errno);
  struct stat st {
  };
  if (fstat(FHandle, &st) != 0) {
    const int error = errno;
    close(FHandle);
    throw EFileError(error);
  }
  FMode = st.st_mode & 07777;
  try {
    TResourceStore store = ReadStore(FHandle);
    FContentSize = store.ContentSize;
    Resources = std::move(store.Resources);
  } catch (...) {
    close(FHandle);
    throw;
  }
}

TResourceUpdate::~TResourceUpdate()
{
  close(FHandle);
}

void TResourceUpdate::Commit()
{
  std::string store;
  try {
    if (!Resources.empty())
      store = SerializeResourceStore(Resources, FContentSize);
  } catch (const std::length_error &e) {
    throw EFileError(EFBIG, e.what());
  }
  // The content is copied from the handle opened at the start, so it is the content that was read.
  const int error = ReplaceFileAtomically(
      FPath,
      [this, &store](int out) {
        char buffer[65536];
        for (uint64_t done = 0; done < FContentSize;) {
          const size_t chunk = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, FContentSize - done));
          if (!ReadAt(FHandle, buffer, chunk, done) || !WriteAll(out, std::string_view(buffer, chunk)))
            return false;
          done += chunk;
        }
        return WriteAll(out, store);
      },
      FMode);
  if (error != 0)
    throw EFileError(error);
}

} // namespace Resources
