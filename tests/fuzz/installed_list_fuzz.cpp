// The installed list players share: any bytes are read as a list or refused with an Exception,
// never worse, and a list read back is written and read again unchanged; any name survives its
// escaping, which leaves no tab or line break in a field.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "inventory/InstalledList.h"
#include "platform/Errors.h"

using namespace pitkit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    const std::string name = in.ConsumeRemainingBytesAsString();
    const std::string escaped = escapeListField(name);
    fuzz::check(escaped.find_first_of("\t\n\r") == std::string::npos, "an escaped field holds a tab or line break");
    std::string back;
    fuzz::check(unescapeListField(escaped, back) && back == name, "a name did not survive its escaping");
    return 0;
  }
  const std::string text = in.ConsumeRemainingBytesAsString();
  std::vector<ListedItem> items;
  try {
    items = parseInstalledList(text);
  } catch (const Exception&) {
    return 0;  // refused, as anything that is not such a list must be
  }
  std::vector<ListedItem> again;
  try {
    again = parseInstalledList(formatInstalledList(items));
  } catch (const Exception&) {
    fuzz::check(false, "a list that was read could not be read after it was written");
  }
  fuzz::check(again == items, "a list changed when written and read again");
  return 0;
}
