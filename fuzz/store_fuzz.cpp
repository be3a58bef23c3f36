// The resource store reader on arbitrary bytes, and a write-then-read round trip of resources
// derived from the same bytes.
#include "resources/ResourceStore.h"

#include <cstdlib>
#include <string>
#include <string_view>

using namespace Resources;

static bool Same(const TResourceList &a, const TResourceList &b)
{
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].Type != b[i].Type || !(a[i].Name == b[i].Name) || a[i].Name.Text() != b[i].Name.Text() ||
        a[i].Language != b[i].Language || a[i].Data != b[i].Data)
      return false;
  return true;
}

// Resources taken from the input: each starts with a 6-byte head (type, language, name and data
// lengths), then the name (a number when its length is 0) and the data.
static TResourceList Derive(std::string_view in)
{
  TResourceList list;
  while (in.size() >= 6) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(in[i]); };
    const uint16_t type = b(0);
    const uint16_t language = static_cast<uint16_t>(b(1) | b(2) << 8);
    const size_t nameLength = b(3) % 16, dataLength = b(4) | (b(5) & 0x3) << 8;
    in.remove_prefix(6);
    const std::string name(in.substr(0, nameLength));
    in.remove_prefix(std::min(nameLength, in.size()));
    const std::string data(in.substr(0, dataLength));
    in.remove_prefix(std::min(dataLength, in.size()));
    if (name.empty())
      SetResource(list, type, static_cast<uint16_t>(language ^ 0x5a5a), language, data);
    else
      SetResource(list, type, name, language, data);
  }
  return list;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const TResourceStore store = ParseResourceStore(input);
  if (store.ContentSize > size || (store.Resources.empty() && store.ContentSize != size))
    std::abort();
  if (!store.Resources.empty()) {
    // The reader accepts any layout inside the bounds; what it read must survive a rewrite.
    const std::string again = std::string(input.substr(0, store.ContentSize)) +
                              SerializeResourceStore(store.Resources, store.ContentSize);
    const TResourceStore reread = ParseResourceStore(again);
    if (reread.ContentSize != store.ContentSize || !Same(reread.Resources, store.Resources))
      std::abort();
  }

  const TResourceList derived = Derive(input);
  const std::string content(input.substr(0, size % 64));
  const TResourceStore back = ParseResourceStore(content + SerializeResourceStore(derived, content.size()));
  if (back.ContentSize != content.size() || back.Resources.size() != derived.size())
    std::abort();
  for (const TResource &r : derived) {
    bool found = false;
    for (const TResource &s : back.Resources)
      found = found || Same({r}, {s});
    if (!found)
      std::abort();
  }
  return 0;
}
