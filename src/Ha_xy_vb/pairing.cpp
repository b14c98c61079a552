// Pairing of the two coordinate files by point name, and the input notes.
#include "pairing.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <ostream>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "textio/textio.h"

namespace helmert2d {
namespace {

// The first file's names, each mapped to the first record that carries it, in an
// open-addressing table of (hash tag, record) pairs: one flat array that a million
// lookups walk far faster than a node per name.
class NameIndex {
 public:
  static constexpr std::uint32_t kEmpty = UINT32_MAX;
  struct Slot {
    std::uint32_t tag = 0;
    std::uint32_t record = kEmpty;
  };

  explicit NameIndex(const std::vector<CoordinateRecord>& records) : records_(records) {
    std::size_t capacity = 16;
    while (capacity < 2 * records.size()) capacity *= 2;
    slots_.resize(capacity);
    mask_ = capacity - 1;
  }

  // The slot of `name`, or the empty slot where it belongs (tagged, so that filling in
  // its record adds the name).
  Slot& find(std::string_view name) {
    const std::size_t h = std::hash<std::string_view>{}(name);
    const auto tag = static_cast<std::uint32_t>(h >> 32);
    for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& slot = slots_[i];
      if (slot.record == kEmpty) {
        slot.tag = tag;
        return slot;
      }
      if (slot.tag == tag && records_[slot.record].name == name) return slot;
    }
  }

 private:
  const std::vector<CoordinateRecord>& records_;
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
};

}  // namespace

Pairing pair_points(const CoordinateFile& first, const CoordinateFile& second,
                    const NameSet& left_out, PairingNotes* notes, bool weighted, bool weighted_h) {
  Pairing out;
  CommonPoints& cp = out.points;
  std::vector<LeftOutPoint>& left = out.left_out;
  std::vector<char>& is_common = out.is_common;
  const std::size_t m = first.records.size();
  NameIndex head(first.records);
  std::vector<std::uint32_t> next(m, NameIndex::kEmpty);
  for (std::size_t j = m; j-- > 0;) {
    NameIndex::Slot& slot = head.find(first.records[j].name);
    if (slot.record != NameIndex::kEmpty) {
      // The later record's name was seen first here; note each repeated name once.
      if (notes != nullptr && next[slot.record] == NameIndex::kEmpty) {
        notes->repeated_1.push_back(first.records[slot.record].name);
      }
      next[j] = slot.record;
    }
    slot.record = static_cast<std::uint32_t>(j);
  }
  is_common.assign(m, 0);
  if (weighted) cp.use_weights();
  if (weighted_h) cp.weight_h.assign(1, 1.0);
  cp.reserve(static_cast<std::size_t>(cp.n) + 1 + std::min(m, second.records.size()));
  std::vector<char> seen(notes != nullptr ? m : 0, 0);  // by the head record of a name
  for (const CoordinateRecord& r2 : second.records) {
    const std::uint32_t found = head.find(r2.name).record;
    if (found == NameIndex::kEmpty) {
      if (notes != nullptr) notes->unmatched.push_back(r2.name);
      continue;
    }
    if (notes != nullptr && seen[found] < 2 && ++seen[found] == 2) {
      notes->repeated_2.push_back(r2.name);
    }
    const bool leave = !left_out.empty() && left_out.count(r2.name) != 0;
    for (std::uint32_t j = found; j != NameIndex::kEmpty; j = next[j]) {
      const CoordinateRecord& r1 = first.records[j];
      if (leave) {
        left.push_back({std::string(r2.name), r1.first, r1.second, r2.first, r2.second, j});
        continue;
      }
      if (weighted) {
        cp.add(std::string(r2.name), r1.first, r1.second, r2.first, r2.second, r1.third, r2.third,
               point_weight(r1.sigma, r2.sigma));
      } else {
        cp.add(std::string(r2.name), r1.first, r1.second, r2.first, r2.second, r1.third, r2.third);
      }
      if (weighted_h) cp.weight_h.push_back(point_weight(r1.sigma_h, r2.sigma_h));
      is_common[j] = 1;
    }
  }
  return out;
}

std::string name_list(const std::vector<std::string_view>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size() && i < 10; ++i) {
    if (i) out += ", ";
    out += textio::printable_token(names[i]);
  }
  if (names.size() > 10) out += ", ... (" + std::to_string(names.size() - 10) + " more)";
  return out;
}

void write_input_notes(std::ostream& console, const std::string& file1, const std::string& file2,
                       const CoordinateFile& first, PairingNotes& notes) {
  auto dedupe = [](std::vector<std::string_view>& v) {
    std::unordered_set<std::string_view> once;
    std::vector<std::string_view> kept;
    for (const auto& n : v) {
      if (once.insert(n).second) kept.push_back(n);
    }
    v.swap(kept);
  };
  dedupe(notes.unmatched);
  if (!notes.unmatched.empty()) {
    console << " note: " << notes.unmatched.size()
            << (notes.unmatched.size() == 1 ? " name of " : " names of ") << file2
            << (notes.unmatched.size() == 1 ? " has" : " have") << " no partner in " << file1
            << ": " << name_list(notes.unmatched) << "\n";
  }
  std::reverse(notes.repeated_1.begin(), notes.repeated_1.end());  // file order
  for (const auto& [list, file] :
       {std::pair{&notes.repeated_1, &file1}, std::pair{&notes.repeated_2, &file2}}) {
    if (list->empty()) continue;
    console << " note: names that occur more than once in " << *file << ": " << name_list(*list)
            << "\n";
  }
  // Names of the second file that would pair if case were ignored ("p1" and "P1").
  if (notes.unmatched.empty()) return;
  auto lower = [](std::string_view n) {
    std::string l(n);
    for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return l;
  };
  std::unordered_map<std::string, std::string_view> folded;
  for (const CoordinateRecord& r : first.records) folded.try_emplace(lower(r.name), r.name);
  std::vector<std::string_view> pairs;
  std::vector<std::string> texts;
  for (const auto& n : notes.unmatched) {
    const auto it = folded.find(lower(n));
    if (it != folded.end()) texts.push_back(std::string(n) + " / " + std::string(it->second));
  }
  for (const auto& t : texts) pairs.push_back(t);
  if (!pairs.empty()) {
    console << " note: names that match only when case is ignored (" << file2 << " / " << file1
            << "): " << name_list(pairs) << "\n";
  }
}

}  // namespace helmert2d
