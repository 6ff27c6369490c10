#pragma once
// The rules the checks judge a stream by, each declared once: its id (stable: scripts and
// users filter on it), its severity, how its repeats are reported and a one-line
// description. The checks report through these objects, never through their ids, and
// `varnodel-cli --list-checks` prints the table.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace checks
{

enum class Severity : uint8_t
{
    Error,
    Warning,
    Info,
};

const char* SeverityName(Severity severity);

struct Rule
{
    const char* id;
    Severity severity;
    // Episodic: a fault that repeats with no clean result in between is one finding with
    // a count. Otherwise every occurrence is a finding of its own.
    bool episodic;
    const char* description;
};

namespace rules
{
// System layer
inline constexpr Rule kScrBackwards{"scr-backwards", Severity::Error, true,
                                    "a pack's SCR is lower than the previous pack's, within one time base"};
inline constexpr Rule kScrInterval{"scr-interval", Severity::Error, true,
                                   "more than 0.7 s between the SCRs of successive packs"};
inline constexpr Rule kMuxRateExceeded{
    "mux-rate-exceeded", Severity::Error, true,
    "a pack's SCR comes before the previous pack's last byte has arrived at its program_mux_rate, by more than "
    "one tick of the stream's clock"};
inline constexpr Rule kSyncLost{"sync-lost", Severity::Error, false,
                                "bytes skipped to find the next pack or packet start code"};
inline constexpr Rule kSystemHeaderBound{
    "system-header-bound", Severity::Warning, true,
    "a stream, mux rate, stream count or P-STD buffer size beyond what the system header declares"};
inline constexpr Rule kTimeBase{"time-base", Severity::Info, false,
                                "a new time base starts: after a program end code, or at a new VOB"};
// Timestamps
inline constexpr Rule kPtsInterval{"pts-interval", Severity::Error, true,
                                   "more than 0.7 s between a PTS and the highest PTS of the stream before it"};
inline constexpr Rule kDtsAfterPts{"dts-after-pts", Severity::Error, true, "a PES header's DTS is later than its PTS"};
inline constexpr Rule kDtsBackwards{"dts-backwards", Severity::Error, true,
                                    "decoding times of successive access units of a stream do not increase"};
inline constexpr Rule kTimestampMissing{
    "timestamp-missing", Severity::Warning, false,
    "a stream's first access unit has no PTS; its buffer and timestamps are not judged before its first one"};
// Decoder buffers
inline constexpr Rule kPstdOverflow{"pstd-overflow", Severity::Error, true,
                                    "the occupancy of a decoder buffer would exceed its size"};
inline constexpr Rule kPstdUnderflow{"pstd-underflow", Severity::Error, true,
                                     "an access unit is not completely in its decoder buffer at its decoding time"};
inline constexpr Rule kMuxDelay{"mux-delay", Severity::Warning, true,
                                "a byte stays in a decoder buffer longer than 1 s (still pictures aside)"};
inline constexpr Rule kPstdSizeUnknown{"pstd-size-unknown", Severity::Warning, false,
                                       "no P-STD buffer size is known for a stream: its buffer is not judged"};
// Elementary streams
inline constexpr Rule kAudioFrameGap{"audio-frame-gap", Severity::Error, false,
                                     "an audio frame's sync word is not where the previous frame ends"};
inline constexpr Rule kAudioPtsDrift{
    "audio-pts-drift", Severity::Warning, true,
    "an audio PTS differs from the previous PTS plus the frames between by more than a frame"};
inline constexpr Rule kVideoTemporalReference{
    "video-temporal-reference", Severity::Error, true,
    "the temporal references of a group of n pictures are not 0..n-1, each once"};
inline constexpr Rule kVideoPtsStep{"video-pts-step", Severity::Warning, true,
                                    "a video presentation time step that is not a whole number of field periods"};
inline constexpr Rule kSubstreamHeader{
    "substream-header", Severity::Error, true,
    "a DVD substream header's first access unit pointer or frame count disagrees with the frames found"};
// DVD-Video streams
inline constexpr Rule kDvdPackSize{"dvd-pack-size", Severity::Error, true, "a pack is not exactly 2048 bytes"};
inline constexpr Rule kDvdMuxRate{"dvd-mux-rate", Severity::Warning, true,
                                  "program_mux_rate is not 25200 (10.08 Mbit/s)"};
inline constexpr Rule kDvdNavUnauthored{
    "dvd-nav-unauthored", Severity::Warning, false,
    "the navigation packs are a muxer's placeholders (all zero): their checks are skipped"};
inline constexpr Rule kDvdVobsOffset{
    "dvd-vobs-offset", Severity::Info, false,
    "every nv_pck_lbn is its block number plus the same N: the file starts N blocks into its VOB set"};
inline constexpr Rule kDvdNavLbn{"dvd-nav-lbn", Severity::Error, true,
                                 "a PCI or DSI nv_pck_lbn is not the navigation pack's block number in its VOB set"};
inline constexpr Rule kDvdVobuEnd{"dvd-vobu-end", Severity::Error, true,
                                  "the DSI vobu_ea is not the block distance to the VOBU's last pack"};
inline constexpr Rule kDvdRefFrameEnd{
    "dvd-ref-frame-end", Severity::Error, true,
    "the DSI reference frame end addresses are not the block distances to the reference pictures' last bytes"};
inline constexpr Rule kDvdVobuPtm{
    "dvd-vobu-ptm", Severity::Error, true,
    "the PCI vobu_s_ptm or vobu_e_ptm is not where the VOBU's video starts or ends"};
inline constexpr Rule kDvdVobuDuration{"dvd-vobu-duration", Severity::Warning, true,
                                       "a VOBU (not the last of its VOB, not a still) outside 0.4 to 1.0 s"};
inline constexpr Rule kDvdVobuLinks{
    "dvd-vobu-links", Severity::Error, true,
    "the DSI next/previous VOBU pointers are not the distances to the neighbouring navigation packs"};
// DVD-Video discs: the IFO files read
inline constexpr Rule kIfoUnreadable{"ifo-unreadable", Severity::Error, false,
                                     "an IFO cannot be read, or its identifier is wrong"};
inline constexpr Rule kIfoStructure{
    "ifo-structure", Severity::Error, false,
    "a table pointer, count or last-byte field points outside the file or its table, tables overlap, or a count "
    "disagrees with the table's length"};
inline constexpr Rule kIfoBupDiffers{"ifo-bup-differs", Severity::Warning, false,
                                     "a BUP file is not a byte copy of its IFO"};
// Their tables
inline constexpr Rule kIfoTitlePointer{
    "ifo-title-pointer", Severity::Error, false,
    "a title search pointer names a title set, title, angle or chapter count the title set does not have, or a "
    "start sector where the title set does not begin"};
inline constexpr Rule kIfoPgc{
    "ifo-pgc", Severity::Error, false,
    "a PGC's program map or cell positions point at programs or cells it does not have; a chapter points at a PGC "
    "or program that does not exist"};
// The tables against the VOBs
inline constexpr Rule kIfoCellAddress{
    "ifo-cell-address", Severity::Error, false,
    "a cell address entry's sectors are not the blocks whose navigation packs carry its VOB and cell number, or the "
    "table is not sorted"};
inline constexpr Rule kIfoCellPlayback{
    "ifo-cell-playback", Severity::Error, false,
    "a cell's first sector, last VOBU start sector or last sector is not a navigation pack, the last VOBU's "
    "navigation pack, or the cell's last block"};
inline constexpr Rule kIfoCellTime{"ifo-cell-time", Severity::Error, false,
                                   "a cell's playback time is not its video's presentation time, to one frame"};
inline constexpr Rule kIfoPgcTime{"ifo-pgc-time", Severity::Error, false,
                                  "a PGC's playback time is not the sum of its cells' times"};
inline constexpr Rule kIfoVobuAdmap{"ifo-vobu-admap", Severity::Error, false,
                                    "the VOBU address map is not the blocks of the VOB set's navigation packs"};
inline constexpr Rule kIfoTimeMap{"ifo-time-map", Severity::Error, false,
                                  "a time map entry does not point at the VOBU that holds its time"};
inline constexpr Rule kIfoAttributes{
    "ifo-attributes", Severity::Error, false,
    "a title set's video, audio or subpicture attributes disagree with the streams of its VOBs"};
inline constexpr Rule kIfoStc{"ifo-stc", Severity::Warning, false,
                              "a cell's STC discontinuity flag disagrees with the time bases of the stream"};
// The files
inline constexpr Rule kDvdVobFiles{
    "dvd-vob-files", Severity::Error, false,
    "the VOB files of a set are missing, out of order, over 1 GiB, not whole blocks, or not the sectors the IFO "
    "says"};
// The model's own
inline constexpr Rule kModelLimit{
    "model-limit", Severity::Warning, false,
    "a bound of the model's memory was reached; the message says what is no longer judged"};
}  // namespace rules

// Every rule, in the catalogue's order.
std::span<const Rule* const> AllRules();
// The rules of a whole disc (IFO files against VOB files): a part of AllRules.
std::span<const Rule* const> DiscRules();
// The rule with this id, null when there is none.
const Rule* FindRule(std::string_view id);
// The table: one line per rule (id, severity, description), or one JSON array.
std::string ListRules(bool json);

}  // namespace checks
