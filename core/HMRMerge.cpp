// SPDX-License-Identifier: MIT
#include "core/HMRMerge.h"

#include <algorithm>
#include <bit>
#include <compare>
#include <cstddef>
#include <numeric>
#include <optional>
#include <span>
#include <string_view>

#include "core/DurationText.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRMessages.h"

namespace hmr {
namespace {

// One session of one side, with what identifies it across the sides.
struct Entry {
  std::int64_t open = 0;  // whole seconds
  std::string_view user;
  std::size_t position = 0;  // in its side's list
  const TSessionData* session = nullptr;
};

std::strong_ordering compareKey(const Entry& a, const Entry& b) {
  if (const auto c = a.open <=> b.open; c != 0) return c;
  return a.user <=> b.user;
}

// A side's sessions ordered by what identifies them, then by their order on that side.
std::vector<Entry> entriesOf(const HmrFileContents& side) {
  std::vector<Entry> entries;
  entries.reserve(side.sessions.size());
  for (std::size_t i = 0; i < side.sessions.size(); ++i) {
    const TSessionData& s = side.sessions[i];
    entries.push_back({ConvertDateTimeToSeconds(s.SessionDateTimeOpen), s.SessionUserName, i, &s});
  }
  const auto before = [](const Entry& a, const Entry& b) {
    const auto c = compareKey(a, b);
    return c != 0 ? c < 0 : a.position < b.position;
  };
  // Files are written oldest first, so the sort is usually a check.
  if (!std::is_sorted(entries.begin(), entries.end(), before))
    std::sort(entries.begin(), entries.end(), before);
  return entries;
}

// A total order on everything a file stores of a session (date-times bit for bit), so that
// equal means "unchanged" and every choice between two versions is the same whichever side
// each came from.
std::strong_ordering compareContent(const TSessionData& a, const TSessionData& b) {
  const auto bits = [](TDateTime dt) { return std::bit_cast<std::uint64_t>(dt); };
  if (const auto c = bits(a.SessionDateTimeOpen) <=> bits(b.SessionDateTimeOpen); c != 0) return c;
  if (const auto c = bits(a.SessionDateTimeClose) <=> bits(b.SessionDateTimeClose); c != 0)
    return c;
  if (const auto c = a.SessionNotClosed <=> b.SessionNotClosed; c != 0) return c;
  if (const auto c = a.SessionIdleTime <=> b.SessionIdleTime; c != 0) return c;
  return a.SessionUserName <=> b.SessionUserName;
}

bool sameContent(const TSessionData& a, const TSessionData& b) {
  return compareContent(a, b) == 0;
}

// Of two versions of one session: the closed one over the one not closed, then the longer,
// then the one with more work; two versions equal in all three are chosen by their contents.
const TSessionData& preferred(const TSessionData& a, const TSessionData& b) {
  if (a.SessionNotClosed != b.SessionNotClosed) return a.SessionNotClosed ? b : a;
  if (a.SessionTotalTime != b.SessionTotalTime)
    return a.SessionTotalTime > b.SessionTotalTime ? a : b;
  if (a.SessionWorkTime != b.SessionWorkTime) return a.SessionWorkTime > b.SessionWorkTime ? a : b;
  return compareContent(a, b) >= 0 ? a : b;
}

constexpr std::size_t kUnpaired = static_cast<std::size_t>(-1);

// Pairs the sessions of `from` with those of `to`, all of one identity: equal contents
// first, then the rest in their order. For each of `from`, the index in `to` or kUnpaired.
std::vector<std::size_t> pairUp(std::span<const Entry> from, std::span<const Entry> to) {
  std::vector<std::size_t> match(from.size(), kUnpaired);
  std::vector<bool> taken(to.size(), false);
  const auto byContent = [](std::span<const Entry> side) {
    std::vector<std::size_t> order(side.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
      return compareContent(*side[i].session, *side[j].session) < 0;
    });
    return order;
  };
  const std::vector<std::size_t> f = byContent(from);
  const std::vector<std::size_t> t = byContent(to);
  for (std::size_t i = 0, j = 0; i < f.size() && j < t.size();) {
    const auto c = compareContent(*from[f[i]].session, *to[t[j]].session);
    if (c < 0) {
      ++i;
    } else if (c > 0) {
      ++j;
    } else {
      match[f[i]] = t[j];
      taken[t[j]] = true;
      ++i;
      ++j;
    }
  }
  std::size_t next = 0;
  for (std::size_t i = 0; i < from.size(); ++i) {
    if (match[i] != kUnpaired) continue;
    while (next < to.size() && taken[next]) ++next;
    if (next == to.size()) break;
    match[i] = next;
    taken[next++] = true;
  }
  return match;
}

// The sessions of `side` that `match` (pairUp's answer for another side) left unpaired.
std::vector<Entry> unpaired(std::span<const Entry> side, const std::vector<std::size_t>& match) {
  std::vector<bool> taken(side.size(), false);
  for (std::size_t j : match)
    if (j != kUnpaired) taken[j] = true;
  std::vector<Entry> rest;
  for (std::size_t j = 0; j < side.size(); ++j)
    if (!taken[j]) rest.push_back(side[j]);
  return rest;
}

// Appended, not `"\"" + std::string(text)`: GCC 12 warns falsely (-Wrestrict) on that at -O2.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  out.append(text);
  out += '"';
  return out;
}

std::string describeVersion(const TSessionData& s) {
  return std::string(s.SessionNotClosed ? "not closed" : "closed") + ", " +
         formatDuration(s.SessionTotalTime) + " long";
}

std::string sessionCount(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " session" : " sessions");
}

// Walks the three sides one identity at a time and decides what the merge keeps.
class Merger {
 public:
  Merger(const MergeSideNames& names, const MergeRules& rules) : names_(names), rules_(rules) {}

  void mergeSessions(const HmrFileContents& base, const HmrFileContents& ours,
                     const HmrFileContents& theirs) {
    const std::vector<Entry> b = entriesOf(base), o = entriesOf(ours), t = entriesOf(theirs);
    kept_.reserve(std::max(o.size(), t.size()));
    std::size_t ib = 0, io = 0, it = 0;
    while (ib < b.size() || io < o.size() || it < t.size()) {
      Entry least;
      bool any = false;
      for (const Entry* front : {ib < b.size() ? &b[ib] : nullptr, io < o.size() ? &o[io] : nullptr,
                                 it < t.size() ? &t[it] : nullptr}) {
        if (front && (!any || compareKey(*front, least) < 0)) least = *front;
        any = any || front;
      }
      const auto run = [&](const std::vector<Entry>& side, std::size_t& i) {
        const std::size_t first = i;
        while (i < side.size() && compareKey(side[i], least) == 0) ++i;
        return std::span<const Entry>(side.data() + first, i - first);
      };
      const auto bs = run(b, ib), os = run(o, io), ts = run(t, it);
      mergeIdentity(bs, os, ts);
    }
  }

  // Every session kept, in a new list, and the notes on removed sessions.
  std::vector<TSessionData> takeSessions() {
    std::vector<TSessionData> sessions;
    sessions.reserve(kept_.size());
    for (const TSessionData* s : kept_) sessions.push_back(*s);
    if (rules_.noteSessionsRemovedOnOurs) noteRemoved(removedOnOurs_, names_.ours);
    noteRemoved(removedOnTheirs_, names_.theirs);
    return sessions;
  }

  std::vector<std::string> notes;

 private:
  struct Removed {
    std::size_t count = 0;
    const TSessionData* first = nullptr;
  };

  // The sessions of one identity on the three sides.
  void mergeIdentity(std::span<const Entry> b, std::span<const Entry> o,
                     std::span<const Entry> t) {
    if (b.size() <= 1 && o.size() <= 1 && t.size() <= 1) {  // all but a few identities
      resolve(b.empty() ? nullptr : b[0].session, o.empty() ? nullptr : o[0].session,
              t.empty() ? nullptr : t[0].session);
      return;
    }
    const std::size_t first = kept_.size();
    const std::vector<std::size_t> oOfB = pairUp(b, o), tOfB = pairUp(b, t);
    for (std::size_t i = 0; i < b.size(); ++i)
      resolve(b[i].session, oOfB[i] == kUnpaired ? nullptr : o[oOfB[i]].session,
              tOfB[i] == kUnpaired ? nullptr : t[tOfB[i]].session);
    const std::vector<Entry> addedO = unpaired(o, oOfB), addedT = unpaired(t, tOfB);
    const std::vector<std::size_t> tOfO = pairUp(addedO, addedT);
    for (std::size_t i = 0; i < addedO.size(); ++i)
      resolve(nullptr, addedO[i].session,
              tOfO[i] == kUnpaired ? nullptr : addedT[tOfO[i]].session);
    for (const Entry& e : unpaired(addedT, tOfO)) resolve(nullptr, nullptr, e.session);
    // In an order that does not depend on which side is which.
    std::sort(kept_.begin() + static_cast<std::ptrdiff_t>(first), kept_.end(),
              [](const TSessionData* x, const TSessionData* y) {
                return compareContent(*x, *y) < 0;
              });
  }

  // One session: its version in the common history, on our side and on theirs (each may be
  // missing).
  void resolve(const TSessionData* b, const TSessionData* o, const TSessionData* t) {
    if (o && t) {
      if (sameContent(*o, *t) || (b && sameContent(*b, *t))) {
        kept_.push_back(o);
      } else if (b && sameContent(*b, *o)) {
        kept_.push_back(t);
      } else if (!b && rules_.sessionsAddedOnBothSidesAreDistinct) {
        const bool oursFirst = compareContent(*o, *t) < 0;
        kept_.push_back(oursFirst ? o : t);
        kept_.push_back(oursFirst ? t : o);
      } else {
        const TSessionData& keep = preferred(*o, *t);
        const bool oursKept = &keep == o;
        kept_.push_back(&keep);
        notes.push_back(formatMessage(
            MergeSessionChosen,
            {quoted(keep.SessionUserName), formatIsoDateTime(keep.SessionDateTimeOpen),
             oursKept ? names_.ours : names_.theirs, describeVersion(keep),
             oursKept ? names_.theirs : names_.ours, describeVersion(oursKept ? *t : *o)}));
      }
      return;
    }
    if (!o && !t) return;  // removed on both sides
    const TSessionData& present = o ? *o : *t;
    if (!b) {
      kept_.push_back(&present);  // added on one side
    } else if (sameContent(*b, present)) {
      Removed& removed = o ? removedOnTheirs_ : removedOnOurs_;
      if (removed.count++ == 0) removed.first = b;
    } else {
      kept_.push_back(&present);
      notes.push_back(formatMessage(
          MergeSessionKept, {quoted(present.SessionUserName),
                             formatIsoDateTime(present.SessionDateTimeOpen),
                             o ? names_.theirs : names_.ours, o ? names_.ours : names_.theirs}));
    }
  }

  void noteRemoved(const Removed& removed, const std::string& side) {
    if (removed.count == 0) return;
    notes.push_back(formatMessage(MergeSessionsRemoved,
                                  {sessionCount(removed.count), side,
                                   quoted(removed.first->SessionUserName),
                                   formatIsoDateTime(removed.first->SessionDateTimeOpen)}));
  }

  const MergeSideNames& names_;
  const MergeRules& rules_;
  std::vector<const TSessionData*> kept_;
  Removed removedOnOurs_, removedOnTheirs_;
};

// A setting or the name: the side that changed it wins; changed differently on both sides,
// ours is kept and `differs` set.
template <class T>
T mergeValue(const std::optional<T>& base, const T& ours, const T& theirs, bool& differs) {
  differs = false;
  if (ours == theirs || (base && theirs == *base)) return ours;
  if (base && ours == *base) return theirs;
  differs = true;
  return ours;
}

class SettingNotes {
 public:
  SettingNotes(const MergeSideNames& names, std::vector<std::string>& notes)
      : names_(names), notes_(notes) {}

  template <class T, class Show>
  T merge(const char* what, const std::optional<T>& base, const T& ours, const T& theirs,
          Show show) {
    bool differs = false;
    T value = mergeValue(base, ours, theirs, differs);
    if (differs) {
      const std::string detail = names_.ours + " " + show(ours) + ", " + names_.theirs + " " +
                                 show(theirs) +
                                 (base ? ", before " + show(*base) : ", no common history");
      notes_.push_back(formatMessage(MergeSettingKept, {what, detail, names_.ours}));
    }
    return value;
  }

 private:
  const MergeSideNames& names_;
  std::vector<std::string>& notes_;
};

std::string showSeconds(std::int64_t seconds) { return std::to_string(seconds) + " s"; }

}  // namespace

MergedHistory mergeHistories(const HmrFileContents& base, const HmrFileContents& ours,
                             const HmrFileContents& theirs, const MergeSideNames& names,
                             const MergeRules& rules) {
  MergedHistory merged;
  SettingNotes settings(names, merged.notes);
  merged.timeForIdle = settings.merge("The idle threshold", base.timeForIdle,
                                      ours.timeForIdle.value_or(DefaultTimeForIdle),
                                      theirs.timeForIdle.value_or(DefaultTimeForIdle), showSeconds);
  merged.minimumWorkTime =
      settings.merge("The minimum work time", base.minimumWorkTime,
                     ours.minimumWorkTime.value_or(DefaultMinimumWorkTime),
                     theirs.minimumWorkTime.value_or(DefaultMinimumWorkTime), showSeconds);
  merged.projectName = settings.merge("The project name", base.projectName,
                                      ours.projectName.value_or(std::string()),
                                      theirs.projectName.value_or(std::string()), quoted);

  Merger merger(names, rules);
  merger.mergeSessions(base, ours, theirs);
  merged.sessions = merger.takeSessions();
  merged.notes.insert(merged.notes.end(), merger.notes.begin(), merger.notes.end());
  return merged;
}

}  // namespace hmr
