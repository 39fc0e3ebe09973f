// libFuzzer target: arbitrary bytes as a zip archive in memory. The directory
// is listed entry by entry, each listed name is found again, and entries are
// extracted to memory (a bounded amount, so a small bomb cannot stall a run).
#include "update/Unzip.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxEntries = 64;
constexpr unsigned kMaxExtract = 1u << 20;

void Check(bool cond)
{
  if (!cond)
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  if (size > 0xFFFFFFFFu)
    return 0;
  HZIP hz = OpenZip(data, unsigned(size), ZIP_MEMORY);
  char message[16];
  const unsigned length = FormatZipMessage(ZR_RECENT, message, sizeof message);
  Check(std::strlen(message) == std::min<std::size_t>(length, sizeof message - 1));
  if (!hz)
    return 0;
  Check(IsZipHandle(hz));

  ZipEntryInfo ze{};
  Check(GetZipItem(hz, -1, &ze) == ZR_OK);
  const int count = ze.index;
  Check(count >= 0);
  Check(GetZipItem(hz, count, &ze) == ZR_ARGS);

  static char buffer[4096];
  for (int i = 0; i < count && i < kMaxEntries; ++i) {
    ZipEntryInfo entry{};
    if (GetZipItem(hz, i, &entry) != ZR_OK)
      continue;
    Check(entry.index == i);
    Check(std::memchr(entry.name, 0, sizeof entry.name) != nullptr);
    IsSafeRelativeName(entry.name);

    // The first entry of that name is found, at or before this one.
    int found = -1;
    ZipEntryInfo again{};
    if (FindZipItem(hz, entry.name, false, &found, &again) == ZR_OK) {
      Check(found >= 0 && found <= i);
      Check(std::strcmp(again.name, entry.name) == 0);
    }

    unsigned taken = 0;
    unsigned code = ZR_MORE;
    while (code == ZR_MORE && taken < kMaxExtract) {
      code = UnzipItem(hz, i, buffer, sizeof buffer, ZIP_MEMORY);
      taken += sizeof buffer;
    }
  }
  Check(CloseZip(hz) == ZR_OK);
  return 0;
}
