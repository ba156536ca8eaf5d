// The tables Chromatte edits: the account list, and the channel table shape
// shared by an account's channel list and the pool.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>

namespace chromatte {

constexpr int kMaxChannels = 512;
constexpr int kMaxAccounts = 100;

// 0x00BBGGRR, as Windows' COLORREF.
using ColorRef = std::uint32_t;

// Strings are byte strings in the ANSI code page, compared byte for byte.
struct ChannelTable {
  std::string names[kMaxChannels];
  std::string passwords[kMaxChannels];
  ColorRef colors[kMaxChannels] = {};
  int count = 0;

  bool IsFull() const { return count >= kMaxChannels; }
  // Index of the first entry named exactly `name`, or `count` when none is.
  int FindByName(const std::string& name) const;
  // Adds an entry at the end; refuses (false) when the table is full. The
  // strings are moved in, so a caller that passes copies made beforehand
  // knows that the call cannot fail for want of memory.
  bool Append(std::string name, std::string password, ColorRef color);
  // Removes the entries whose bit is set, keeping the others in order.
  void RemoveMarked(const std::bitset<kMaxChannels>& marked);
};

// The game accounts in registry enumeration order.
struct AccountList {
  std::string names[kMaxAccounts];
  int count = 0;
};

}  // namespace chromatte
