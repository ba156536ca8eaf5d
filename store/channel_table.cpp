#include "channel_table.h"

namespace chromatte {

int ChannelTable::FindByName(const std::string& name) const {
  for (int i = 0; i < count; ++i)
    if (names[i] == name) return i;
  return count;
}

bool ChannelTable::Append(const std::string& name, const std::string& password, ColorRef color) {
  if (IsFull()) return false;
  names[count] = name;
  passwords[count] = password;
  colors[count] = color;
  ++count;
  return true;
}

bool ChannelTable::RemoveByName(const std::string& name) {
  const int index = FindByName(name);
  if (index == count) return false;
  std::bitset<kMaxChannels> marked;
  marked.set(index);
  RemoveMarked(marked);
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

static char FoldAsciiCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  return true;
}

}  // namespace chromatte
