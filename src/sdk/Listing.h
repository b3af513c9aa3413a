// Handle-keyed listings, the one implementation behind every table's Reset / Count / Next /
// Release: Reset captures the items (Add), Count tells how many, Next hands out one at a time
// and answers err::kEnumNA past the end (every table, every kind), Release forgets the listing.
// Not thread-safe: the table that owns the listings locks around each call.
//
//   sdk::Listings<MyListing> listings;        // MyListing: size() and a `next` cursor
//   listings.Add(handle, MyListing{...});
//   std::size_t i;
//   if (Result r = listings.Take(handle, i)) return r;   // kInvalidHandle or kEnumNA
//   ... item i of listings.Find(handle) ...
#pragma once

#include "sdk/Errors.h"
#include "sdk/sdk.h"

#include <cstddef>
#include <cstdint>
#include <map>

namespace sdk {

template <class Listing>
class Listings {
public:
    void Add(Handle handle, Listing listing) { open_.insert_or_assign(handle, std::move(listing)); }

    Listing* Find(Handle handle) {
        auto it = open_.find(handle);
        return it == open_.end() ? nullptr : &it->second;
    }

    Result Count(Handle handle, std::uint32_t* count) {
        const Listing* listing = Find(handle);
        if (listing == nullptr) return err::kInvalidHandle;
        if (count == nullptr) return err::kInvalidPointer;
        *count = static_cast<std::uint32_t>(listing->size());
        return kOk;
    }

    // The index of the next item, moving the cursor on; kEnumNA when all were handed out.
    Result Take(Handle handle, std::size_t& index) {
        Listing* listing = Find(handle);
        if (listing == nullptr) return err::kInvalidHandle;
        return TakeFrom(*listing, index);
    }

    static Result TakeFrom(Listing& listing, std::size_t& index) {
        if (listing.next >= listing.size()) return err::kEnumNA;
        index = listing.next++;
        return kOk;
    }

    Result Release(Handle handle) { return open_.erase(handle) != 0 ? kOk : err::kInvalidHandle; }

    std::size_t OpenCount() const { return open_.size(); }
    void Clear() { open_.clear(); }

private:
    std::map<Handle, Listing> open_;
};

}   // namespace sdk
