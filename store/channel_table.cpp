#include "channel_table.h"

#include <utility>

namespace chromatte {

int ChannelTable::FindByName(const std::string& name) const {
  for (int i = 0; i < count; ++i)
    if (names[i] == name) return i;
  return count;
}

bool ChannelTable::Append(std::string name, std::string password, ColorRef color) {
  if (IsFull()) return false;
  names[count] = std::move(name);
  passwords[count] = std::move(password);
  colors[count] = color;
  ++count;
  return true;
}

void ChannelTable::RemoveMarked(const std::bitset<kMaxChannels>& marked) {
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    if (marked.test(i)) continue;
    if (kept != i) {
      names[kept] = std::move(names[i]);
      passwords[kept] = std::move(passwords[i]);
      colors[kept] = colors[i];
    }
    ++kept;
  }
  count = kept;
}

}  // namespace chromatte
