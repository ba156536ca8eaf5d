// Reading and writing channel lists in the registry: the game client's
// per-account channel keys and Chromatte's own key, which holds the pool.
//
// A list is stored as numbered slots 0..511 of three values each:
// "Channel%d" (REG_SZ name), "Channel%dcolor" (REG_DWORD colour) and
// "Channel%dpwd" (REG_SZ password). A list ends at the first slot that lacks
// a readable value. Nothing here shows a window: results say what happened.
#pragma once

#include <string>

#include "channel_table.h"
#include "registry.h"

namespace chromatte {

constexpr char kGameKeyPath[] = "Software\\Halvek\\Zorvan";
constexpr char kOwnKeyPath[] = "Software\\Brisquel\\Chromatte";

std::string ChannelKeyPath(const std::string& account);

// Enumerates up to 100 accounts; false when the game key cannot be read.
bool LoadAccounts(Registry& registry, AccountList* accounts);

// Replaces `channels` by the account's list; false (and an empty list) when
// the channel key cannot be read.
bool LoadAccountChannels(Registry& registry, const std::string& account, ChannelTable* channels);

// True only when the key was opened and every deletion and write succeeded.
bool SaveAccountChannels(Registry& registry, const std::string& account, const ChannelTable& channels);

// Told about the pool as it loads, so the caller can show each entry at once
// and report each account that could not be merged, in order.
class PoolLoadObserver {
 public:
  virtual void OnPoolEntryAdded(int index) = 0;
  virtual void OnAccountUnreadable(const std::string& account) = 0;

 protected:
  ~PoolLoadObserver() = default;
};

// The pool is the own key's list, then every account's channels whose name
// it does not hold yet, in account order, up to 512 entries.
void LoadPool(Registry& registry, const AccountList& accounts, ChannelTable* pool,
              PoolLoadObserver& observer);

// True only when the own key was opened and every deletion and write succeeded.
bool SavePool(Registry& registry, const ChannelTable& pool);

}  // namespace chromatte
