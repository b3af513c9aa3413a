// The keyword that marks a picture as one of a series the computer ran: "Focus stack 3: 7 of 20"
// (the seventh of twenty shots of focus stack 3) or "Bracket 5: -2 EV" (the shot two stops under
// of bracket 5), made and read back here; and the next free series number of a folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace picture {

enum class SeriesKind { FocusStack, Bracket };

struct SeriesKeyword {
    SeriesKind kind = SeriesKind::Bracket;
    int series = 0;             // its number, from 1
    int index = 0, total = 0;   // a focus stack's shot: index of total (from 1)
    int evThirds = 0;           // a bracket's shot: its offset in thirds of a stop
    bool operator==(const SeriesKeyword&) const = default;
};

// "Focus stack 3: 7 of 20".
std::string FocusStackKeyword(int series, int index, int total);
// "Bracket 5: -2 EV", "Bracket 5: +1 1/3 EV", "Bracket 5: -2/3 EV", "Bracket 5: 0 EV".
std::string BracketKeyword(int series, int evThirds);
// "-2", "+1 1/3", "-2/3", "0": an offset in thirds of a stop as the keyword and console say it.
std::string EvText(int evThirds);
// The keyword as made above, or none for any other keyword (a series number or index below 1,
// an index past the total, anything after the text are none).
std::optional<SeriesKeyword> ParseSeriesKeyword(const std::string& keyword);
// The first series keyword among a picture's keywords.
std::optional<SeriesKeyword> SeriesOf(const std::vector<std::string>& keywords);

// One more than the highest series number of kind in the sidecars of folder (1 when none).
int NextSeriesNumber(const std::string& folder, SeriesKind kind);

}   // namespace picture
