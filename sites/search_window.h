// The small "Search" window of the websites browse and the block of state the two share.
#pragma once

#include <cstdint>
#include <string>

#include "platform/core/field.h"

namespace qb {

// 23 bytes, copied whole between the browse and its search window.
struct SearchState {
  pf::String<20> SearchWord;
  pf::String<1> SearchDirection{"2"};   // "1" up, "2" down
  pf::String<1> SearchRequest{"1"};     // "1" nothing asked, "2" a Find Next was asked
  pf::String<1> SearchOpen{"0"};        // "1" the search window is open
};
static_assert(sizeof(SearchState) == 23);

// Live blocks are reached through small handles, never through their addresses: a handle
// whose block is gone finds nothing. 0 is never a handle.
std::int32_t registerSearchState(SearchState* state);
void releaseSearchState(std::int32_t handle);
SearchState* findSearchState(std::int32_t handle);

// The start parameter: the browse's thread and the block's handle, ten digits each.
std::string searchParameter(std::int32_t thread, std::int32_t handle);
// False when the text is not twenty digits.
bool parseSearchParameter(const std::string& parameter, std::int32_t& thread, std::int32_t& handle);

// The recorded stack size of the search window's thread.
constexpr int SearchStack = 30000;

// The search window; runs on a thread of its own started by the browse.
void BuscadorF3(const std::string& parameter);

}  // namespace qb
