// Reading and writing channel lists in the registry: the game client's
// per-account channel keys and Chromatte's own key, which holds the pool.
//
// A list is stored as numbered slots 0..511 of three values each:
// "Channel%d" (REG_SZ name), "Channel%dcolor" (REG_DWORD colour) and
// "Channel%dpwd" (REG_SZ password). A list ends at the first slot that lacks
// a readable value. Nothing here shows a window: results say what happened.
// Memory that runs out throws std::bad_alloc out of any operation: a reading
// never takes it for the list's end.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "channel_table.h"
#include "registry.h"

namespace chromatte {

constexpr char kGameKeyPath[] = "Software\\Halvek\\Zorvan";
constexpr char kOwnKeyPath[] = "Software\\Brisquel\\Chromatte";

std::string ChannelKeyPath(const std::string& account);

// Enumerates up to 100 accounts; false when the game key cannot be read.
bool LoadAccounts(Registry& registry, AccountList* accounts);

// Whether a key existed, and when it was last written, as a list was read
// from it or saved to it. The game client and a second copy of Chromatte
// write the same keys: a save compares the key with its stamp first, so as
// not to write over what another program wrote in between.
struct KeyStamp {
  bool exists = false;
  std::uint64_t last_write = 0;  // 0 when it could not be read
  // The list was not read to its end (a call failed, memory ran out, or a
  // key that exists could not be opened): the key may hold channels that
  // the table lacks.
  bool read_in_part = false;
};

enum class SaveResult {
  kSaved,
  kFailed,  // the key could not be opened, or a deletion or write failed
  // Refusals: nothing written, for the key may hold what the table lacks.
  kChanged,     // another program wrote, made or removed the key since its stamp
  kReadInPart,  // the stamp's list was not read to its end
  kUnverified,  // the key's last-write time could not be read, then or now
};

// Whether the save refused a key that may hold what the table lacks.
inline bool Refused(SaveResult result) { return result != SaveResult::kSaved && result != SaveResult::kFailed; }

// How much of a key's list a reading took.
enum class ReadResult {
  kWhole,       // up to the list's end
  kInPart,      // a call failed before the end: what follows is unknown
  kUnreadable,  // the key could not be opened: nothing read
};

// What a save does with a key that may hold what the table lacks.
enum class IfChanged { kRefuse, kOverwrite };

// Replaces `channels` by the account's list and *stamp by the key's. A list
// read in part keeps its first slots, and its stamp says so, as does the
// stamp that std::bad_alloc leaves.
ReadResult LoadAccountChannels(Registry& registry, const std::string& account, ChannelTable* channels,
                               KeyStamp* stamp);

// Writes the account's list, unless `if_changed` refuses a key that may hold
// what the list lacks (see SaveResult). Any save that writes notes the key's
// new stamp, so that its own writes never count as another program's.
SaveResult SaveAccountChannels(Registry& registry, const std::string& account, const ChannelTable& channels,
                               KeyStamp* stamp, IfChanged if_changed);

// Told about the pool as it loads, so the caller can show each entry at once
// and report each account that could not be merged, in order.
class PoolLoadObserver {
 public:
  virtual void OnPoolEntryAdded(int index) = 0;
  virtual void OnAccountUnreadable(const std::string& account) = 0;

 protected:
  ~PoolLoadObserver() = default;
};

// What leaving needs to keep the channels that a second copy saved in the
// own key meanwhile, without bringing back those this user deleted: the own
// key's stamp, and every name the pool held when its start-up finished or
// has taken from the own key since.
struct PoolOrigin {
  KeyStamp own_key;
  std::unordered_set<std::string> names;
};

// The pool is the own key's list, then every account's channels whose name
// it does not hold yet, in account order, up to 512 entries. Each entry
// counts only once the observer has been told of it.
void LoadPool(Registry& registry, const AccountList& accounts, ChannelTable* pool, PoolOrigin* origin,
              PoolLoadObserver& observer);

// Writes the pool to the own key, as SaveAccountChannels writes a list.
SaveResult SavePool(Registry& registry, const ChannelTable& pool, KeyStamp* stamp, IfChanged if_changed);

// Appends to the pool, in the own key's order and with their colours and
// passwords, the channels of the own key whose names neither the pool nor
// the origin holds, as far as it has room, and adds their names to the
// origin's; *lost counts the other such names. False when a registry call
// failed before the list's end, so that what follows is unknown: the pool
// must not be saved over it. The origin's stamp stays: until the pool is
// saved, the key still counts as changed.
bool MergeOwnKeyChanges(Registry& registry, ChannelTable* pool, PoolOrigin* origin, PoolLoadObserver& observer,
                        int* lost);

}  // namespace chromatte
