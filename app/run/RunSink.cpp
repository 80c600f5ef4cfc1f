#include "app/run/RunSink.h"

#include <charconv>

namespace Kelvane {

namespace {

// A caption of a fixed text followed by a number in decimal digits.
template <typename Number>
std::string_view Numbered(std::string_view lead, Number value, char (&room)[40]) {
  lead.copy(room, lead.size());
  const auto end = std::to_chars(room + lead.size(), room + sizeof room, value);
  return {room, static_cast<std::size_t>(end.ptr - room)};
}

}  // namespace

void CaptionSink::ShowPhase(RunPhase phase) {
  switch (phase) {
    case RunPhase::Reading:
      SetPositionCaption("Reading file..");
      break;
    case RunPhase::Parsing:
      SetPositionCaption("Parsing file..");
      break;
    case RunPhase::Done:
      SetPositionCaption("Done");
      break;
  }
}

void CaptionSink::ShowPosition(std::int32_t scanPosition) {
  char room[40];
  SetPositionCaption(Numbered("curpos ", scanPosition, room));
}

void CaptionSink::ShowRow(std::size_t row) {
  char room[40];
  SetPositionCaption(Numbered("", row, room));
}

void CaptionSink::ShowProcessed(std::int32_t polygons) {
  char room[40];
  SetProgressCaption(Numbered("Processed ", polygons, room));
}

}  // namespace Kelvane
