#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace Resources
{

// Resource types kept in the store.
constexpr uint16_t RT_ICON = 3;
constexpr uint16_t RT_RCDATA = 10;
constexpr uint16_t RT_GROUP_ICON = 14;

// A resource name: a 16-bit number or a text compared without regard to ASCII letter case.
class TResName
{
public:
  TResName(uint16_t id) : FId(id) {}
  TResName(std::string text) : FText(std::move(text)) {}
  TResName(const char *text) : FText(text) {}

  // "123" or "#123" name a number (up to 65535); any other text is a text name.
  static TResName Parse(const std::string &text);

  bool IsNumber() const { return FText.empty(); }
  uint16_t Id() const { return FId; }
  const std::string &Text() const { return FText; }
  // The number in decimal, or the text.
  std::string ToString() const;

  bool operator==(const TResName &other) const { return Compare(other) == 0; }
  // Text names before numbers; texts by their upper-case form, numbers by value.
  int Compare(const TResName &other) const;

private:
  uint16_t FId = 0;
  std::string FText;
};

struct TResource {
  uint16_t Type;
  TResName Name;
  uint16_t Language;
  std::string Data;
};
using TResourceList = std::vector<TResource>;

// The resources found at the end of a file and the size of the file's own content before them.
struct TResourceStore {
  uint64_t ContentSize = 0;
  TResourceList Resources;
};

// Limits that keep a damaged or hostile store from costing unbounded memory.
constexpr uint64_t MaxStoreBytes = 256u << 20;
constexpr size_t MaxResourceNameBytes = 1024;

// Reads the store of a whole file image. A missing, truncated or damaged store gives no resources
// and ContentSize equal to the image size. Never throws.
TResourceStore ParseResourceStore(std::string_view image);

// The same for a file on disk, reading only the trailer and the store. EFileError when the file
// cannot be opened or read; a damaged store is no error.
TResourceStore ReadResourceStore(const std::string &fileName);

// The bytes to append after ContentSize bytes of content so that the store reads back as given.
// Resources are written in sorted order (type, name, language). std::length_error over the limits.
std::string SerializeResourceStore(const TResourceList &resources, uint64_t contentSize);

// The first resource of that type and name: language 0 when present, else the lowest language.
const TResource *FindResource(const TResourceList &resources, uint16_t type, const TResName &name);

// Every language of that type and name, lowest first.
std::vector<uint16_t> ResourceLanguages(const TResourceList &resources, uint16_t type, const TResName &name);

// Adds or replaces one resource. False with errno EINVAL for a text name over
// MaxResourceNameBytes, EFBIG for data over the store limit.
bool SetResource(TResourceList &resources, uint16_t type, const TResName &name, uint16_t language,
                 std::string data);

// Removes one resource; a missing one is no error.
void DeleteResource(TResourceList &resources, uint16_t type, const TResName &name, uint16_t language);

// One update of a file's resources. The constructor reads the file's store; Resources may then be
// changed freely; Commit writes a new file beside the target (content kept byte for byte, the old
// store replaced), flushes it, renames it over the target and flushes the folder. The target's mode
// is kept; without resources no store is written. On any failure the new file is removed, the target is
// untouched and EFileError is thrown. An update that is not committed changes nothing.
class TResourceUpdate
{
public:
  explicit TResourceUpdate(const std::string &fileName);
  TResourceUpdate(const TResourceUpdate &) = delete;
  TResourceUpdate &operator=(const TResourceUpdate &) = delete;
  ~TResourceUpdate();

  void Commit();

  TResourceList Resources;

private:
  std::string FPath;
  int FHandle = -1;
  uint64_t FContentSize = 0;
  mode_t FMode = 0;
};

} // namespace Resources
