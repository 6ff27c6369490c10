#!/bin/bash
# Sets what varnodel-cli shows for the real streams under tests/real/streams beside what
# ffmpeg's own tools (ffprobe, and the trace_headers bitstream filter) report for the
# same files, and prints one "agree" or "DISAGREE" line per item.
#
#   tests/real/compare.sh [--cli PATH] [STREAM_DIR [--scan-bytes]]
#
# PATH defaults to $VARNODEL_CLI, then to the newest build*/src/cli/varnodel-cli under
# the source tree; STREAM_DIR to tests/real/streams. Exit status 1 when anything disagrees.
#
# What is compared, and from where on the ffmpeg side:
#   sequence headers  horizontal/vertical size, aspect ratio code, bit rate value × 400,
#                     VBV buffer size value: trace_headers (MPEG-2), and the stream's
#                     width, height, aspect ratio, CPB max bit rate and buffer size from
#                     ffprobe (MPEG-1: ffprobe only; trace_headers has no MPEG-1 reader)
#   GOP headers       time code, closed GOP, broken link: trace_headers
#   pictures          coding type in coded order, temporal reference, VBV delay:
#                     trace_headers; the decoder's pict_type sorted by
#                     coded_picture_number from ffprobe -show_frames
#   audio frames      frame lengths in file order (ffprobe -show_packets: the MP2 parser
#                     cuts one packet per frame), bit rate and sampling rate (ffprobe)
#   marks             a clean stream carries no "ERR: !" line
#
# The tree is the default one, walked by packet lengths. With --scan-bytes (passed on
# after the stream folder: compare.sh [--cli PATH] [STREAM_DIR [--scan-bytes]]) the byte
# walk's has a known difference with the committed streams: in program.vob the muxer
# cut the start code 00 00 01 B5 of a picture coding extension between two packets. The
# byte walk scans the file, not the reassembled video, so it takes that 00 00 01 and the
# next pack's first byte for a picture start code: one extra picture "Forbidden (= 0)"
# (tref 0), whose four bytes also swallow that pack's start code. The picture lists of
# program.vob then disagree at that one entry, and mpeg1.mpg, whose packs the byte walk
# reads with the MPEG-2 layout, shows no audio frames.

set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cli=${VARNODEL_CLI:-}
if [ "${1:-}" = "--cli" ]; then
    cli=$2
    shift 2
fi
dir=${1:-$here/streams}
walk=${2:-}
if [ -z "$cli" ]; then
    # The most recently built one: several build folders may sit side by side.
    cli=$(ls -t "$root"/build*/src/cli/varnodel-cli 2>/dev/null | head -1)
fi
if [ -z "$cli" ] || [ ! -x "$cli" ]; then
    echo "compare.sh: no varnodel-cli found; pass --cli PATH" >&2
    exit 2
fi
for tool in ffmpeg ffprobe awk; do
    command -v $tool >/dev/null 2>&1 || { echo "compare.sh: $tool not found" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
disagreements=0

report() {  # report STREAM ITEM TREE_VALUE PROBE_VALUE
    if [ "$3" = "$4" ]; then
        printf 'agree     %-12s %-28s %s\n' "$1" "$2" "$(summary "$3")"
    else
        printf 'DISAGREE  %-12s %-28s tree: %s\n' "$1" "$2" "$(summary "$3")"
        printf '          %-12s %-28s ffmpeg: %s\n' "" "" "$(summary "$4")"
        printf '          %-12s %-28s %s\n' "" "" "$(first_difference "$3" "$4")"
        disagreements=$((disagreements + 1))
    fi
}

note() {  # note STREAM ITEM TEXT
    printf 'n/a       %-12s %-28s %s\n' "$1" "$2" "$3"
}

first_difference() {
    awk -v a="$1" -v b="$2" 'BEGIN {
        n = split(a, x, " "); m = split(b, y, " ")
        if (n == 1 && m == 1 && length(x[1]) > 1 && length(y[1]) > 1) {   # a string of letters
            n = split(x[1], x, ""); m = split(y[1], y, "")
        }
        for (i = 1; i <= n || i <= m; i++)
            if (x[i] != y[i]) { printf "first difference at entry %d of %d/%d: %s vs %s", i, n, m, x[i], y[i]; exit }
    }'
}

# Long lists are shown by their length and first entries.
summary() {
    local n
    n=$(printf '%s' "$1" | wc -w)
    if [ "$n" -le 16 ]; then
        printf '%s' "$1"
    else
        printf '%d entries: %s ...' "$n" "$(printf '%s' "$1" | tr ' ' '\n' | head -16 | tr '\n' ' ')"
    fi
}

# ---------------------------------------------------------------------------- the tree

# Facts from varnodel-cli's text tree, one per line:
#   SEQ w h aspect-code bitrate vbv | GOP hh:mm:ss.pp closed broken | PIC type tref vbv-delay
#   AUD length kbit/s kHz | ERR
# The video lines come from the "Video sequence" branch, the audio lines from the
# audio stream branch under "Elementary streams".
tree_facts() {
    "$cli" $walk --all "$1" | awk '
    function depth(line) { match(line, /^ */); return RLENGTH / 2 }
    function text(line) { sub(/^ */, "", line); return line }
    function aspect(t) {
        if (t == "1:1 (square pixels)") return 1
        if (t == "4:3") return 2
        if (t == "16:9") return 3
        if (t == "2,21:1") return 4
        if (t ~ /^(Forbidden|Reserved) \(= [0-9]+\)$/) { gsub(/[^0-9]/, "", t); return t }
        return "?"
    }
    function flush() {
        if (kind == "SEQ") print "SEQ", f["horizontal size"], f["vertical size"], aspect(f["aspect ratio"]), f["bitrate"], f["vbv"]
        else if (kind == "GOP") print "GOP", f["timecode"] "," f["closed gop"] "," f["broken link"]
        else if (kind == "PIC") print "PIC", f["type"], f["tref"], f["vbv delay"]
        else if (kind == "AUD") print "AUD", f["length"], f["kbps"], f["khz"]
        kind = ""; delete f
    }
    {
        d = depth($0); t = text($0)
        if (t ~ /ERR: ! /) print "ERR"
        if (d == 1) { flush(); branch = t; next }
        if (branch == "Video sequence") {
            if (d == 2) {
                flush()
                if (t == "sequence header") kind = "SEQ"
                else if (t == "group of pictures") kind = "GOP"
                else if (t ~ /^picture \(tref = /) {
                    kind = "PIC"
                    s = t; sub(/^picture \(tref = /, "", s)
                    f["tref"] = s; sub(/,.*/, "", f["tref"])
                    sub(/^[0-9]+, /, "", s); sub(/\)$/, "", s)
                    f["type"] = s ~ /^[IPBD]-Frame$/ ? substr(s, 1, 1) : "?"
                }
            } else if (d == 3) {
                split(t, kv, " = ")
                if (kind == "SEQ" && kv[1] == "VBV buffer size") { f["vbv"] = kv[2]; sub(/ .*/, "", f["vbv"]) }
                else if (kind == "SEQ") f[kv[1]] = kv[2]
                else if (kind == "GOP" && t ~ /^timecode :/) { s = t; sub(/^timecode : +/, "", s); f["timecode"] = s }
                else if (kind == "GOP") f[kv[1]] = kv[2]
                else if (kind == "PIC" && kv[1] == "VBV delay") { s = kv[2]; sub(/ .*/, "", s); f["vbv delay"] = s }
            }
        } else if (branch == "Elementary streams") {
            # Frames lie under their packet line, or (an audio file) right under the stream.
            if (d == 2) { flush(); audio = (t ~ /^\(Audio Stream /) }
            else if (audio && (d == 4 || d == 3) && t ~ /^audio header @ /) { flush(); kind = "AUD"; frame = d }
            else if (audio && d <= frame) flush()
            else if (audio && d == frame + 1 && kind == "AUD") {
                if (t ~ /^Bitrate idx = /) { s = t; sub(/.*\(/, "", s); sub(/000 bps\)$/, "", s); f["kbps"] = s }
                else if (t ~ /^Sampling Freq\. idx = /) { s = t; sub(/.*\(/, "", s); sub(/ kHz\)$/, "", s); f["khz"] = s }
                else if (t ~ /^Frame Size = /) { s = t; sub(/^Frame Size = /, "", s); sub(/ .*/, "", s); f["length"] = s }
            }
        } else if (d <= 2) flush()
    }
    END { flush() }'
}

# ---------------------------------------------------------------------------- ffmpeg

# The same facts from trace_headers, which prints the MPEG-2 video headers of every
# packet in coded order. The extradata block before the first packet repeats the first
# sequence header and is skipped.
trace_facts() {
    ffmpeg -hide_banner -nostdin -i "$1" -map 0:v:0 -c copy -bsf:v trace_headers -f null - 2>&1 | awk '
    /\] Packet: / { started = 1; next }
    !started { next }
    /\[trace_headers @/ {
        line = $0; sub(/^.*\] /, "", line)
        n = split(line, w, " ")
        if (n < 5 || w[n - 1] != "=") next
        name = w[2]; v = w[n] + 0
        if (name == "horizontal_size_value") wd = v
        else if (name == "vertical_size_value") ht = v
        else if (name == "aspect_ratio_information") ar = v
        else if (name == "bit_rate_value") br = v * 400
        else if (name == "vbv_buffer_size_value") print "SEQ", wd, ht, ar, br, v
        else if (name == "time_code")
            tc = sprintf("%02d:%02d:%02d.%02d", int(v / 524288) % 32, int(v / 8192) % 64, int(v / 64) % 64, v % 64)
        else if (name == "closed_gop") cg = v
        else if (name == "broken_link") print "GOP", tc "," cg "," v
        else if (name == "temporal_reference") tr = v
        else if (name == "picture_coding_type") pt = substr("?IPBD???", v + 1, 1)
        else if (name == "vbv_delay") print "PIC", pt, tr, v
    }'
}

# Picture types in coded order as the decoder reports them.
decoder_types() {
    ffprobe -v error -select_streams v:0 -show_entries frame=pict_type,coded_picture_number \
        -of csv=p=0 "$1" | awk -F, 'NF >= 2 && $2 != "" { print $2, $1 }' | sort -n | awk '{ printf "%s ", $2 }'
}

probe_stream() {  # probe_stream FILE SELECTOR KEY
    ffprobe -v error -select_streams "$2" -show_entries "stream=$3" -of default=nw=1:nk=1 "$1" | head -1
}

probe_cpb() {  # probe_cpb FILE KEY: the video stream's coded picture buffer properties
    ffprobe -v error -select_streams v:0 -show_streams "$1" | awk -F= -v k="$2" '$1 == k { print $2; exit }'
}

audio_lengths() {
    ffprobe -v error -select_streams a:0 -show_entries packet=size -of csv=p=0 "$1" | tr '\n' ' '
}

# ---------------------------------------------------------------------------- checks

words() { tr '\n' ' ' | sed 's/ *$//'; }

# One token per sequence header: WIDTHxHEIGHT/aspect code/bit rate/VBV buffer size value.
seq_tokens() { awk '/^SEQ/ { print $2 "x" $3 "/" $4 "/" $5 "/" $6 }' "$1" | words; }

check_video() {  # check_video NAME FILE CODEC
    local name=$1 file=$2 codec=$3 facts="$work/$1.tree"
    local width height seqs

    seqs=$(grep -c '^SEQ' "$facts")
    width=$(probe_stream "$file" v:0 width)
    height=$(probe_stream "$file" v:0 height)
    report "$name" "picture size, every seq." \
        "$(awk '/^SEQ/ { print $2 "x" $3 }' "$facts" | sort -u | words)" "${width}x${height}"

    # The stream-level aspect ratio: MPEG-2 codes a display aspect ratio, MPEG-1 a
    # pixel aspect ratio; 1:1 pixels are code 1 in both.
    local sar dar code=?
    sar=$(probe_stream "$file" v:0 sample_aspect_ratio)
    dar=$(probe_stream "$file" v:0 display_aspect_ratio)
    if [ "$sar" = "1:1" ]; then code=1
    elif [ "$codec" = mpeg2video ]; then
        case $dar in 4:3) code=2 ;; 16:9) code=3 ;; 221:100) code=4 ;; esac
    fi
    report "$name" "aspect ratio code" "$(awk '/^SEQ/ { print $4 }' "$facts" | sort -u | words)" "$code"

    if [ "$codec" = mpeg2video ]; then
        local trace="$work/$name.trace"
        trace_facts "$file" > "$trace"
        report "$name" "sequence headers" "$(seq_tokens "$facts")" "$(seq_tokens "$trace")"
        report "$name" "bit rate (CPB max)" "$(awk '/^SEQ/ { print $5 }' "$facts" | sort -u | words)" \
            "$(probe_cpb "$file" max_bitrate)"
        report "$name" "VBV buffer (CPB bits/16384)" "$(awk '/^SEQ/ { print $6 }' "$facts" | sort -u | words)" \
            "$(( $(probe_cpb "$file" buffer_size) / 16384 ))"
        report "$name" "GOP (time code,closed,broken)" "$(awk '/^GOP/ { print $2 }' "$facts" | words)" \
            "$(awk '/^GOP/ { print $2 }' "$trace" | words)"
        report "$name" "coding types, coded order" "$(awk '/^PIC/ { printf "%s", $2 }' "$facts")" \
            "$(awk '/^PIC/ { printf "%s", $2 }' "$trace")"
        report "$name" "temporal references" "$(awk '/^PIC/ { print $3 }' "$facts" | words)" \
            "$(awk '/^PIC/ { print $3 }' "$trace" | words)"
        report "$name" "VBV delays" "$(awk '/^PIC/ { print $4 }' "$facts" | words)" \
            "$(awk '/^PIC/ { print $4 }' "$trace" | words)"
    else
        report "$name" "bit rate (ffprobe stream)" "$(awk '/^SEQ/ { print $5 }' "$facts" | sort -u | words)" \
            "$(probe_stream "$file" v:0 bit_rate)"
        note "$name" "GOP headers, VBV values" "trace_headers reads no MPEG-1 video; not compared"
    fi
    report "$name" "coding types (decoder)" "$(awk '/^PIC/ { printf "%s", $2 }' "$facts")" \
        "$(decoder_types "$file" | tr -d ' ')"
    printf '          %-12s %-28s %d sequence headers, %d pictures in the tree\n' "" "" \
        "$seqs" "$(grep -c '^PIC' "$facts")"
}

check_audio() {  # check_audio NAME FILE [PROBED_FILE [WHY]]: frames in FILE's tree, ffprobe of PROBED_FILE
    local name=$1 file=$2 probed=${3:-$2} why=${4:-} facts="$work/$1.tree" label="audio frame lengths"
    [ "$probed" != "$file" ] && label="frame lengths vs $(basename "$probed")"
    if ! grep -q '^AUD' "$facts"; then
        note "$name" "audio frames" "none in the tree${why:+: $why}"
        return
    fi
    report "$name" "$label" "$(awk '/^AUD/ { print $2 }' "$facts" | words)" "$(audio_lengths "$probed" | sed 's/ *$//')"
    report "$name" "audio bit rate (kbit/s)" "$(awk '/^AUD/ { print $3 }' "$facts" | sort -u | words)" \
        "$(( $(probe_stream "$probed" a:0 bit_rate) / 1000 ))"
    report "$name" "sampling rate (kHz)" "$(awk '/^AUD/ { print $4 }' "$facts" | sort -u | words)" \
        "$(awk -v r="$(probe_stream "$probed" a:0 sample_rate)" 'BEGIN { printf "%.1f", r / 1000 }')"
}

check_marks() {
    report "$1" "error marks (ERR: !)" "$(grep -c '^ERR' "$work/$1.tree")" 0
}

for f in dvd.vob program.vob video.m2v mpeg1.mpg audio.mp2; do
    if [ ! -f "$dir/$f" ]; then
        echo "compare.sh: $dir/$f missing; run make-streams.sh" >&2
        exit 2
    fi
    tree_facts "$dir/$f" > "$work/$f.tree"
done

echo "varnodel-cli: $cli"
echo "ffmpeg:       $(ffmpeg -version | head -1)"
echo

check_video dvd.vob "$dir/dvd.vob" mpeg2video
check_audio dvd.vob "$dir/dvd.vob"
check_marks dvd.vob
echo
check_video program.vob "$dir/program.vob" mpeg2video
check_audio program.vob "$dir/program.vob"
check_audio program.vob "$dir/program.vob" "$dir/audio.mp2"
check_marks program.vob
echo
check_video video.m2v "$dir/video.m2v" mpeg2video
check_marks video.m2v
echo
check_video mpeg1.mpg "$dir/mpeg1.mpg" mpeg1video
check_audio mpeg1.mpg "$dir/mpeg1.mpg" "$dir/mpeg1.mpg" \
    "the byte walk reads packs with the MPEG-2 layout (10 bytes), which takes the first bytes of the system header's start code, so no PES packet is decoded"
check_marks mpeg1.mpg
echo
# An audio file has no start codes: the byte walk shows the skeleton only (its frames
# are checked through program.vob, which carries them unchanged).
check_audio audio.mp2 "$dir/audio.mp2" "$dir/audio.mp2" \
    "the byte walk looks for frames only inside PES packets; see program.vob"
echo
if [ "$disagreements" -gt 0 ]; then
    echo "$disagreements item(s) disagree"
    exit 1
fi
echo "all items agree"
