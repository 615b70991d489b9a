// Read-only tables from a text key to a static value, laid out entirely by
// the compiler.
//
// A StaticMap is a perfect hash in the hash-and-displace style: one hash of
// the key picks a bucket, the bucket's pilot scatters the hash onto exactly
// one slot, and the slot's key is compared with the one asked for.
// The compiler searches the seed and the pilots while it builds the table, so
// every table is a constant: nothing runs at start-up, nothing is allocated,
// and a lookup is one hash, two array reads and one key comparison. Keys are
// compared byte for byte: no case folding, no trimming, no prefix matches.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cobalis::data {

template <class V>
struct Entry {
    std::string_view key;
    V value;
};

namespace static_map_detail {

inline constexpr std::size_t WORD_BYTES = 8;
inline constexpr std::uint64_t MULTIPLIER = 0x9E3779B97F4A7C15;  // 2^64 / golden ratio, odd

// Up to eight bytes of `key` from `at` on, little-endian, zero-padded.
constexpr std::uint64_t word_at(std::string_view key, std::size_t at) noexcept {
    std::uint64_t word = 0;
    const std::size_t end = key.size() - at < WORD_BYTES ? key.size() : at + WORD_BYTES;
    for (std::size_t i = at; i < end; ++i) {
        word |= std::uint64_t{static_cast<unsigned char>(key[i])} << (8 * (i - at));
    }
    return word;
}

// One multiply per eight key bytes. The length goes into the start value, so
// keys that differ only in trailing NULs do not share a hash by construction.
// The high half picks the bucket, the low half (folded with the high one)
// the slot.
constexpr std::uint64_t hash(std::string_view key, std::uint64_t seed) noexcept {
    std::uint64_t h = seed + key.size();
    for (std::size_t at = 0; at < key.size(); at += WORD_BYTES) h = (h ^ word_at(key, at)) * MULTIPLIER;
    return h ^ (h >> 32);
}

// The top `bits` bits of a 32-bit value (none when `bits` is 0).
constexpr std::size_t top_bits(std::uint32_t x, std::size_t bits) noexcept {
    return static_cast<std::size_t>(std::uint64_t{x} >> (32 - bits));
}

// The pilots tried for a bucket, spread over all 32 bits.
constexpr std::uint32_t pilot(std::uint32_t attempt) noexcept { return attempt * 0x9E3779B9u; }

// Reaching one of these while a table is built stops the compilation.
void duplicate_key_in_static_map();
void no_perfect_hash_found_for_static_map();

}  // namespace static_map_detail

template <class V, std::size_t N>
class StaticMap {
public:
    consteval explicit StaticMap(const Entry<V> (&entries)[N]) { build(entries); }
    consteval explicit StaticMap(const std::array<Entry<V>, N>& entries) { build(entries.data()); }
    consteval StaticMap() requires(N == 0) = default;

    // The value stored under exactly `key`, or nullptr.
    [[nodiscard]] constexpr const V* find(std::string_view key) const noexcept {
        namespace d = static_map_detail;
        if constexpr (N == 0) {
            return nullptr;
        } else {
            // No key of this length: no need to hash it.
            if (key.size() < min_length_ || key.size() > max_length_) return nullptr;
            const Slot& slot = slots_[slot_of(d::hash(key, seed_))];
            if (slot.head != d::word_at(key, 0) || slot.entry.key.size() != key.size()) return nullptr;
            for (std::size_t i = d::WORD_BYTES; i < key.size(); ++i) {
                if (slot.entry.key[i] != key[i]) return nullptr;
            }
            return &slot.entry.value;
        }
    }

    [[nodiscard]] static constexpr std::size_t size() noexcept { return N; }

private:
    // A power of two of slots, at least half of them used, and half as many
    // buckets: the slot and bucket numbers are top bits of the hash, with no
    // multiply or division. An unused slot holds the empty key; a lookup
    // reaches it only with a key of at least min_length_ bytes, which is
    // never empty unless the empty key is in the table, and then the empty
    // key goes to its own slot.
    static constexpr std::size_t SLOT_BITS = std::bit_width(N > 1 ? N - 1 : 0);
    static constexpr std::size_t SLOTS = std::size_t{1} << SLOT_BITS;
    static constexpr std::size_t BUCKET_BITS = SLOT_BITS > 0 ? SLOT_BITS - 1 : 0;
    static constexpr std::size_t BUCKETS = std::size_t{1} << BUCKET_BITS;
    static constexpr std::uint32_t PILOT_ATTEMPTS = 1u << 14;
    static constexpr std::uint64_t SEED_ATTEMPTS = 64;

    struct Slot {
        std::uint64_t head = 0;  // the key's first eight bytes, compared as one word
        Entry<V> entry{};
    };

    static constexpr std::size_t bucket_of(std::uint64_t h) noexcept {
        return static_map_detail::top_bits(static_cast<std::uint32_t>(h >> 32), BUCKET_BITS);
    }
    constexpr std::size_t slot_of(std::uint64_t h) const noexcept {
        return static_map_detail::top_bits(static_cast<std::uint32_t>(h) ^ pilots_[bucket_of(h)], SLOT_BITS);
    }

    consteval void build(const Entry<V>* entries) {
        namespace d = static_map_detail;
        if constexpr (N > 0) {
            min_length_ = max_length_ = entries[0].key.size();
            for (std::size_t i = 0; i < N; ++i) {
                const std::size_t length = entries[i].key.size();
                min_length_ = length < min_length_ ? length : min_length_;
                max_length_ = length > max_length_ ? length : max_length_;
            }
            for (std::uint64_t attempt = 0; attempt < SEED_ATTEMPTS; ++attempt) {
                seed_ = (attempt + 1) * d::MULTIPLIER;
                if (place(entries)) return;
            }
            d::no_perfect_hash_found_for_static_map();
        }
    }

    // Places the buckets, largest first, each with the first pilot that puts
    // all its keys on free slots. False when some bucket finds none.
    consteval bool place(const Entry<V>* entries) {
        slots_ = {};
        pilots_ = {};
        std::array<std::uint64_t, N> hashes{};
        std::array<std::size_t, BUCKETS + 1> first{};  // bucket b holds members[first[b]..first[b + 1])
        for (std::size_t i = 0; i < N; ++i) {
            hashes[i] = static_map_detail::hash(entries[i].key, seed_);
            ++first[bucket_of(hashes[i]) + 1];
        }
        for (std::size_t b = 0; b < BUCKETS; ++b) first[b + 1] += first[b];
        std::array<std::size_t, N> members{};
        std::array<std::size_t, BUCKETS> filled{};
        for (std::size_t i = 0; i < N; ++i) {
            const std::size_t b = bucket_of(hashes[i]);
            members[first[b] + filled[b]++] = i;
        }

        std::array<bool, SLOTS> taken{};
        std::array<bool, BUCKETS> placed{};
        for (std::size_t round = 0; round < BUCKETS; ++round) {
            std::size_t bucket = BUCKETS;
            for (std::size_t b = 0; b < BUCKETS; ++b) {
                if (!placed[b] && (bucket == BUCKETS || filled[b] > filled[bucket])) bucket = b;
            }
            placed[bucket] = true;
            const std::size_t* begin = members.data() + first[bucket];
            if (!place_bucket(entries, hashes, bucket, begin, begin + filled[bucket], taken)) return false;
        }
        return true;
    }

    consteval bool place_bucket(const Entry<V>* entries, const std::array<std::uint64_t, N>& hashes,
                                std::size_t bucket, const std::size_t* begin, const std::size_t* end,
                                std::array<bool, SLOTS>& taken) {
        if (begin == end) return true;
        // Keys with the same full hash share every slot; equal keys always do.
        for (const std::size_t* m = begin; m != end; ++m) {
            for (const std::size_t* other = begin; other != m; ++other) {
                if (hashes[*m] != hashes[*other]) continue;
                if (entries[*m].key == entries[*other].key) static_map_detail::duplicate_key_in_static_map();
                return false;
            }
        }
        for (std::uint32_t attempt = 0; attempt < PILOT_ATTEMPTS; ++attempt) {
            pilots_[bucket] = static_map_detail::pilot(attempt);
            bool fits = true;
            for (const std::size_t* m = begin; fits && m != end; ++m) {
                const std::size_t s = slot_of(hashes[*m]);
                fits = !taken[s];
                for (const std::size_t* other = begin; fits && other != m; ++other) {
                    fits = slot_of(hashes[*other]) != s;
                }
            }
            if (!fits) continue;
            for (const std::size_t* m = begin; m != end; ++m) {
                const std::size_t s = slot_of(hashes[*m]);
                taken[s] = true;
                slots_[s] = Slot{static_map_detail::word_at(entries[*m].key, 0), entries[*m]};
            }
            return true;
        }
        return false;
    }

    std::uint64_t seed_ = 0;
    std::size_t min_length_ = 0;
    std::size_t max_length_ = 0;
    std::array<std::uint32_t, BUCKETS> pilots_{};
    std::array<Slot, SLOTS> slots_{};
};

}  // namespace cobalis::data
