// The heaviest registry content Chromatte takes: 100 accounts of 512
// channels each and a pool in the own key, every account holding the pool's
// names. Both benchmark programs write it, one into the in-memory registry,
// the other into the real one; neither needs <windows.h> for it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "channel_store.h"
#include "registry.h"

namespace chromatte {
namespace bench {

constexpr int kAccounts = kMaxAccounts;       // 100
constexpr int kAccountChannels = kMaxChannels;  // 512

// Two shapes of the same heavy content:
//  - kFullPool: the own key holds a full pool of 512 channels and every
//    account holds those 512 names. With the pool full after its own key, the
//    merge opens and closes each account's key but reads no name in it.
//  - kMergeReadsAll: the own key holds 511 channels and every account's 512
//    slots hold names of those 511 (the last one twice). The pool never
//    fills, so the merge reads every name of every account, finds each one
//    in the pool, and reads on to the missing slot 512.
enum class Shape { kFullPool, kMergeReadsAll };

inline const char* ShapeName(Shape shape) { return shape == Shape::kFullPool ? "full_pool" : "merge_reads_all"; }

inline int OwnKeyChannels(Shape shape) { return shape == Shape::kFullPool ? kMaxChannels : kMaxChannels - 1; }

// Names of about the length players give them; all distinct, all ASCII.
inline std::string AccountName(int account) {
  char text[32];
  std::snprintf(text, sizeof text, "Joueur%03d", account);
  return text;
}

inline std::string ChannelName(int channel) {
  char text[48];
  std::snprintf(text, sizeof text, "Canal %03d des marchands", channel);
  return text;
}

inline std::string ChannelPassword(int channel) {
  char text[16];
  std::snprintf(text, sizeof text, "mdp%03d", channel);
  return text;
}

inline ColorRef ChannelColor(int channel, int variant) {
  return static_cast<ColorRef>((channel * 0x2F1Bu + static_cast<unsigned>(variant) * 0x10101u) & 0x00FFFFFFu);
}

inline std::string SlotName(int slot, const char* suffix) { return "Channel" + std::to_string(slot) + suffix; }

// The channel a slot holds.
struct SlotChannel {
  std::string name;
  std::string password;
  ColorRef color;
};

// Slot `slot` of the own key: pool channel `slot`.
inline SlotChannel OwnKeySlot(int slot) { return {ChannelName(slot), ChannelPassword(slot), ChannelColor(slot, 0)}; }

// Slot `slot` of an account: a pool channel's name and password, in a
// colour of the account's own.
inline SlotChannel AccountSlot(Shape shape, int account, int slot) {
  const int channel = slot % OwnKeyChannels(shape);
  return {ChannelName(channel), ChannelPassword(channel), ChannelColor(channel, account + 1)};
}

// Calls put(path, value_name, type, bytes, size) for every value of the
// data set: the own key's slots, then each account's channel key. Writing
// the channel keys creates the game key and the account keys above them.
template <class Put>
void ForEachValue(Shape shape, Put&& put) {
  auto put_slot = [&put](const std::string& path, int slot, const SlotChannel& channel) {
    const ColorRef color = channel.color;
    const unsigned char color_bytes[4] = {static_cast<unsigned char>(color), static_cast<unsigned char>(color >> 8),
                                          static_cast<unsigned char>(color >> 16),
                                          static_cast<unsigned char>(color >> 24)};
    put(path, SlotName(slot, ""), kRegSz, channel.name.c_str(), static_cast<std::uint32_t>(channel.name.size() + 1));
    put(path, SlotName(slot, "color"), kRegDword, color_bytes, std::uint32_t{4});
    put(path, SlotName(slot, "pwd"), kRegSz, channel.password.c_str(),
        static_cast<std::uint32_t>(channel.password.size() + 1));
  };
  const int pool = OwnKeyChannels(shape);
  for (int slot = 0; slot < pool; ++slot) put_slot(kOwnKeyPath, slot, OwnKeySlot(slot));
  for (int account = 0; account < kAccounts; ++account) {
    const std::string path = ChannelKeyPath(AccountName(account));
    for (int slot = 0; slot < kAccountChannels; ++slot) put_slot(path, slot, AccountSlot(shape, account, slot));
  }
}

// What the start-up (the accounts, the pool with its merge, the first
// account's channels) has to read, whatever reads it.
struct StartupNeeds {
  int accounts;         // subkey names of the game key
  int values;           // registry values: own key, names the merge reads, the first account
  int keys;             // keys to open: the game key, the own key, each channel key, the first again
  int missing_values;   // values asked for to find where a list ends
  int stamps;           // last-write times noted for the saves: the own key's, the first account's

  int reads() const { return accounts + values + missing_values; }
  int calls() const { return reads() + stamps + 2 * keys; }
};

inline StartupNeeds NeedsOf(Shape shape) {
  StartupNeeds needs{};
  needs.accounts = kAccounts;
  needs.keys = 1 + 1 + kAccounts + 1;
  needs.stamps = 2;
  const int own = OwnKeyChannels(shape);
  needs.values = 3 * own + 3 * kAccountChannels;
  if (shape == Shape::kMergeReadsAll) {
    needs.values += kAccounts * kAccountChannels;  // every account's names
    // The own key ends at its missing slot 511, each account at slot 512.
    needs.missing_values = 1 + kAccounts;
  }
  return needs;
}

// What a save of a list of `count` channels has to do, in its order: open
// the key, read its last-write time to see that nobody else wrote it, write
// the three values of each channel over the old ones, delete the three of
// every slot past the list (missing or not), flush, note the key's new
// last-write time, close.
struct SaveNeeds {
  int sets;
  int deletions;
  int calls() const { return 1 + 1 + sets + deletions + 1 + 1 + 1; }
};

inline SaveNeeds SaveNeedsOf(int count) { return {3 * count, 3 * (kMaxChannels - count)}; }

}  // namespace bench
}  // namespace chromatte
