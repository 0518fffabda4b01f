#!/usr/bin/env bash
# Mutation score of the test suite. Not run by CI: a full run rebuilds the
# program once per mutant and takes about half an hour on two cores.
#
#   scripts/mutants.sh                  every mutant of the table below
#   scripts/mutants.sh M07 M31          only the mutants named
#   scripts/mutants.sh --sample 10      ten mutants drawn with the fixed seed
#   scripts/mutants.sh --sample 10 --seed 7
#   scripts/mutants.sh --list           the table, checked against src/, nothing built
#
# Each mutant is a one-line fault planted in src/: a comparison flipped, a
# bound off by one, a statement dropped, a constant changed, a boolean
# inverted. It is found by its file and the exact source text it replaces,
# which must occur exactly once in that file, so it keeps applying when
# nearby lines change; a mutant whose text is missing or ambiguous is
# reported NOT APPLIED and counted nowhere. For each mutant the script
# changes the file, rebuilds in build-mutants/ (ccache makes putting the
# original back a cache hit), runs every test with ctest and puts the file
# back byte for byte, also when interrupted or when something fails. It
# changes src/ in place: leave the tree alone while it runs. The build is a
# Debug build without -Werror (faster to compile; a mutant that only draws
# a warning is still tried).
#
# Result per mutant: CAUGHT (a test failed), SURVIVED (all tests passed),
# BUILD FAILED (counted neither way) or NOT APPLIED. A survivor marked "="
# in the table is argued equivalent there: no input can tell it from the
# original. The last line is "caught N of M", M being the mutants that were
# applied and built.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# The table: an id and a file, then "?" the fault, "-" the exact text it
# replaces, "+" what takes its place (nothing: the text is dropped) and,
# for an equivalent mutant, "=" the argument. Text after the marker and one
# blank is taken exactly.
table() {
  cat <<'TABLE'
M01 src/base/file_names.h
? a capital Z is not folded to a small letter (bound off by one)
- if (c >= 'A' && c <= 'Z') return static_cast<char>(c + ('a' - 'A'));
+ if (c >= 'A' && c < 'Z') return static_cast<char>(c + ('a' - 'A'));

M02 src/base/file_names.cpp
? a header name used up at a "/" boundary of the other no longer matches
- if (left.usedUp()) return right.usedUp() || right.current() == '/';
+ if (left.usedUp()) return right.usedUp();

M03 src/base/posterr.cpp
? the usage hint after a command-line error is dropped
- if (code == kBadCommandLine) writeDiagnostic(usageHint());
+ 

M04 src/base/posterr.cpp
? error arguments are cut at 899 characters instead of 999
- constexpr size_t kArgumentLimit = 999;
+ constexpr size_t kArgumentLimit = 899;

M05 src/base/quick_format.cpp
? numbers are padded to one column less than their width
- if (width > size) out.append(width - size, ' ');
+ if (width > size + 1) out.append(width - size - 1, ' ');

M06 src/base/report_output.cpp
? the output name "stdout" creates a file instead of writing to standard output
- if (name == "-" || name == "stdout") {
+ if (name == "-") {

M07 src/base/clock.cpp
? a SOURCE_DATE_EPOCH with trailing garbage is taken as the time
- if (ec == std::errc() && ptr == end) return static_cast<std::time_t>(seconds);
+ if (ec == std::errc()) return static_cast<std::time_t>(seconds);

M08 src/cmdline/postcmdl.cpp
? a name of exactly four characters counts as having a .sym/.dat ending
- return name.size() > 4 && endsWithNoCase(name, suffix);
+ return name.size() >= 4 && endsWithNoCase(name, suffix);

M09 src/cmdline/postcmdl.cpp
? empty pieces between ";" are kept as patterns
- if (end > start) list->emplace_back(argument.substr(start, end - start));
+ if (end >= start) list->emplace_back(argument.substr(start, end - start));

M10 src/cmdline/postcmdl.cpp
? -V no longer lets a -c option stand without a listing or adding option
- (!s.configFileText || s.verbose);
+ (!s.configFileText);

M11 src/cmdline/file_selection.cpp
? a star pattern as long as the name takes the suffix form
- pattern.size() < name.size()) {
+ pattern.size() <= name.size()) {

M12 src/cmdline/file_selection.cpp
? -f keeps the files that match none of its patterns instead of the others
- if (settings.chosenFiles && !matchesAnyPattern(settings.chosenFiles, name)) return true;
+ if (settings.chosenFiles && matchesAnyPattern(settings.chosenFiles, name)) return true;

M13 src/cmdline/options_file.cpp
? "#" starts a comment anywhere, not only at the start of a line
- if (c == '#' && previous == '\n') {
+ if (c == '#') {

M14 src/cmdline/file_arguments.cpp
? "?" is no wildcard in file-name patterns of the command line
- } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
+ } else if (p < pattern.size() && pattern[p] == name[n]) {

M15 src/config/config_table.cpp
? a configuration name cannot hold a capital A
- return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
+ return (c > 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';

M16 src/config/config_table.cpp
? a value whose only double quote is its first character is accepted
- if (value.find('"', 1) == std::string_view::npos) return std::nullopt;
+ if (value.find('"', 0) == std::string_view::npos) return std::nullopt;

M17 src/config/config_file_reader.cpp
? a carriage return before the line feed is kept, so "\" before it joins nothing
- if (line.size() > physicalStart && line.back() == '\r') line.pop_back();
+ 

M18 src/config/config_file_reader.cpp
? the ")" of an environment reference stays in the line
- position = close + 1;
+ position = close;

M19 src/config/config_search.cpp
? a -c option with an empty text counts as used
- bool used = configFileText && !configFileText->empty();
+ bool used = configFileText.has_value();

M20 src/config/config_parameters.cpp
? TICK 0 is accepted
- if (value <= 0 || value > INT32_MAX) return std::nullopt;
+ if (value < 0 || value > INT32_MAX) return std::nullopt;

M21 src/coverage/scan_numbers.cpp
? the lower-case hexadecimal digit f is not read
- if (c >= 'a' && c <= 'f') return c - 'a' + 10;
+ if (c >= 'a' && c < 'f') return c - 'a' + 10;

M22 src/coverage/record_reader.cpp
? file names are kept to 259 characters instead of 260
- constexpr size_t kMaxFileNameLength = 260;
+ constexpr size_t kMaxFileNameLength = 259;

M23 src/coverage/record_reader.cpp
? kind 74 (a do-while of conditions) is not delivered as kind 24
- if (probe.kind >= 70 && probe.kind <= 74) probe.kind -= 50;
+ if (probe.kind >= 70 && probe.kind < 74) probe.kind -= 50;

M24 src/coverage/loading.cpp
? counter data of another instrumentation with an equal time counts as older
- issueNotice(blockTime >= file->instrumentationTime ? kNoticeNewerCounterData : kNoticeOlderCounterData);
+ issueNotice(blockTime > file->instrumentationTime ? kNoticeNewerCounterData : kNoticeOlderCounterData);

M25 src/coverage/loading.cpp
? of two identical descriptions with equal times the later one survives
- removeMonitoredFile(e.instrumentationTime < b.instrumentationTime ? earlierIt : completed);
+ removeMonitoredFile(e.instrumentationTime <= b.instrumentationTime ? earlierIt : completed);

M26 src/coverage/counter_merge.cpp
? merged execution counts wrap instead of stopping at 4294967295
- into[i] = sum < into[i] ? UINT32_MAX : sum;
+ into[i] = sum;

M27 src/coverage/counter_merge.cpp
? merged time maxima are compared unsigned
- if (static_cast<int32_t>(from[i]) > static_cast<int32_t>(into[i])) into[i] = from[i];
+ if (from[i] > into[i]) into[i] = from[i];

M28 src/coverage/adding.cpp
? adding the same instrumentation does not count the update itself
- existing.updCount += block.updCount + 1;  // wraps as a u32
+ existing.updCount += block.updCount;

M29 src/coverage/adding.cpp
? an added block of another instrumentation with an equal time replaces the entry
- if (existing.instrumentationTime >= block.instrumentationTime) {
+ if (existing.instrumentationTime > block.instrumentationTime) {

M30 src/coverage/data_file_reader.cpp
? a data block name of 261 characters is refused
- word[kWordNameLength] > kMaxNameLength ||
+ word[kWordNameLength] >= kMaxNameLength ||

M31 src/coverage/postsym.cpp
? an info line with time 0 is accepted
- if (file == nullptr || (info.mode & kModeFunction) == 0 || info.time < 1) failSymbolFile(symbolFileName);
+ if (file == nullptr || (info.mode & kModeFunction) == 0 || info.time < 0) failSymbolFile(symbolFileName);

M32 src/coverage/postsym.cpp
? duplicate descriptions are settled in the contents listing too
- if (mode != LoadingMode::ContentsListing) resolveDuplicateDescription(symbolFileName);
+ resolveDuplicateDescription(symbolFileName);

M33 src/coverage/symbol_line_reader.cpp
? trailing tabs are removed from symbol-file lines like trailing blanks
- size_t end = line.find_last_not_of(' ');
+ size_t end = line.find_last_not_of(" \t");

M34 src/selection/report_database.cpp
? -onlycf drops nothing
- if (settings.onlyFilesWithCounters) dropFilesWithoutCounters();
+ 

M35 src/selection/report_database.cpp
? -nf removes no file from a report
- if (settings.unchosenFiles) dropUnchosenFiles();
+ 

M36 src/selection/header_extraction.cpp
? merged maximum costs of header code are compared unsigned
- if (static_cast<int32_t>(add.value4) > static_cast<int32_t>(sum.value4)) sum.value4 = add.value4;
+ if (add.value4 > sum.value4) sum.value4 = add.value4;

M37 src/selection/header_extraction.cpp
? any throw (not kind 62 holding a double quote) counts as the same header line
- if (h.starts_with("62") && h.find('"') != std::string_view::npos) return true;
+ if (h.starts_with("62")) return true;

M38 src/selection/header_extraction.cpp
? an entry record directly followed by its end line makes an empty header piece
- if (open && !cancelled && end > entry + 1) addPiece(work, entry, end, name);
+ if (open && !cancelled && end > entry) addPiece(work, entry, end, name);

M39 src/selection/header_extraction.cpp
? another instrumentation mode in the info line does not make a header differ
- if (sourceInfo.empty() || headerInfo.empty() || sourceInfo[0] != headerInfo[0]) return false;
+ if (sourceInfo.empty() || headerInfo.empty()) return false;

M40 src/selection/header_extraction.cpp
? a return to the source after an entered header does not end the header's depth
-       depth = 0;
+ 

M41 src/listings/measures.cpp
? the TER percentage is computed in 32 bits and overflows for large counts
- return static_cast<uint32_t>(uint64_t{covered} * 100u / items);
+ return static_cast<uint32_t>(covered * 100u / items);

M42 src/listings/probe_description.cpp
? at width 31 the cut description starts at width - 1 instead of column 31
- start = width <= 31 ? 31 : width - 1;
+ start = width < 31 ? 31 : width - 1;

M43 src/listings/probe_description.cpp
? a missing default is listed as a default
- case 16: return fixed("missing-default:");
+ case 16: return fixed("default:");

M44 src/listings/statement_analysis.cpp
? a switch whose default is missing (kind 16) counts as one without default
- if (n_[c].kind == 15 || n_[c].kind == 16) hasDefault = true;
+ if (n_[c].kind == 15) hasDefault = true;

M45 src/listings/statement_analysis.cpp
? the open-node stack holds 499 entries instead of 500
- constexpr size_t kMaxOpenNodes = 500;
+ constexpr size_t kMaxOpenNodes = 499;

M46 src/listings/statement_analysis.cpp
? a goto that never ran still counts its own statement
- if (g_ && !c1) hits_ -= 1;  // the jump itself did not run
+ 

M47 src/listings/mcdc.cpp
? "_" in the false combination no longer matches any value
- } else if (a != b && a != '_' && b != '_') {
+ } else if (a != b && a != '_') {

M48 src/listings/mcdc.cpp
? an uncovered pair is chosen before a covered one
- if (!state.pairs[p].uncovered) {
+ if (state.pairs[p].uncovered) {

M49 src/listings/pending_records.cpp
? a constant decision is missed when either count is 0
- if (probe.kind >= 30 && probe.kind <= 35) return probe.counter1 == 0 && probe.counter2 == 0;
+ if (probe.kind >= 30 && probe.kind <= 35) return probe.counter1 == 0 || probe.counter2 == 0;

M50 src/listings/contents_listing.cpp
? an empty contents section gets an empty line before its count
- if (count_ > 0) writeListingEmptyLine();
+ writeListingEmptyLine();

M51 src/listings/coverage_listing.cpp
? the function view writes TER lines per function
- if (!walk.mode.decision || walk.view == CoverageView::Function) return;
+ if (!walk.mode.decision) return;

M52 src/listings/measures.cpp
? an execution count of 1 divides the average by 1
- if (calls > 1) average /= calls;
+ if (calls > 0) average /= calls;
= dividing a double by 1 gives the same double, and a count of 0 is not divided either way

M53 src/listings/listing_header.cpp
? inclusive timing is named exclusive
- if (mode.hasTiming()) text += mode.inclusiveTiming ? "+inclusive_timing" : "+exclusive_timing";
+ if (mode.hasTiming()) text += mode.inclusiveTiming ? "+exclusive_timing" : "+inclusive_timing";

M54 src/xml/xml_walk.cpp
? the function view writes a counted function end as function_end
- fields.type = xmlTypeName(2);
+ fields.type = xmlTypeName(1);

M55 src/xml/xml_walk.cpp
? a block end at nesting 0 after the final statement still asks for exepassed
- return reachedAttribute(w, w.record.nesting != 0 || !w.function.finalCountPassed);
+ return reachedAttribute(w, true);

M56 src/xml/xml_walk.cpp
? the maximum cost is not divided by TICK
- maximum /= w.tickScale;
+ 

M57 src/listings/line_records.cpp
? a directive whose probe wrote nothing is dropped, not moved before the function
- moveLineRecord(slots.beforeFunction, slots.inFunction, kKindLineEntry);
+ 

M58 src/xml/xml_walk.cpp
? a header file's summary shows the source lines of the file before it
- writeXmlFileSummary(w.file, w.isHeaderFile ? 0 : previousFileSourceLines(), w.mode.decision);
+ writeXmlFileSummary(w.file, previousFileSourceLines(), w.mode.decision);
= header files come only from header extraction, which leaves their source line
= count at 0; when a header's summary is written the reader has just left that
= header, so previousFileSourceLines() is 0 for it either way

M59 src/xml/xml_text.cpp
? the control byte 0x1F is not replaced by "?"
- if (c >= 0x01 && c <= 0x1F) replacement = "?";
+ if (c >= 0x01 && c < 0x1F) replacement = "?";

M60 src/xml/xml_header.cpp
? the -nf patterns are listed as the -f patterns
- writePatterns("unchosen_source_files", settings.unchosenFiles);
+ writePatterns("unchosen_source_files", settings.chosenFiles);
TABLE
}

# ---------------------------------------------------------------------------

helper=$(cat <<'PY'
import random, sys

def mutants(text):
    found, current = [], None
    for line in text.split("\n"):
        if not line.strip():
            current = None
            continue
        marker, rest = line[0], line[2:] if len(line) > 2 else ""
        if marker in "?-+=" and current is not None:
            current[marker] = rest
        else:
            identifier, path = line.split()
            current = {"id": identifier, "file": path}
            found.append(current)
    return found

def apply(mutant):
    try:
        with open(mutant["file"], encoding="latin-1", newline="") as f:
            source = f.read()
    except OSError:
        return "file missing"
    count = source.count(mutant["-"])
    if count != 1:
        return "text found %d times" % count
    with open(mutant["file"], "w", encoding="latin-1", newline="") as f:
        f.write(source.replace(mutant["-"], mutant.get("+", ""), 1))
    return ""

command, table = sys.argv[1], mutants(sys.stdin.read())
if command == "select":
    sample, seed, wanted = int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
    chosen = [m for m in table if not wanted or m["id"] in wanted]
    if sample:
        picked = set(m["id"] for m in random.Random(seed).sample(chosen, min(sample, len(chosen))))
        chosen = [m for m in chosen if m["id"] in picked]
    for m in chosen:
        print("\t".join([m["id"], m["file"], m["?"], "=" if "=" in m else ""]))
elif command == "apply":
    mutant = next(m for m in table if m["id"] == sys.argv[2])
    reason = apply(mutant)
    print(reason)
    sys.exit(1 if reason else 0)
elif command == "check":
    mutant = next(m for m in table if m["id"] == sys.argv[2])
    try:
        with open(mutant["file"], encoding="latin-1", newline="") as f:
            count = f.read().count(mutant["-"])
        print("" if count == 1 else "text found %d times" % count)
    except OSError:
        print("file missing")
PY
)

sample=0
seed=20251205
list_only=false
wanted=()
while [ $# -gt 0 ]; do
  case $1 in
    --sample) sample=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --list) list_only=true; shift ;;
    -h|--help) sed -n '2,28p' "$0"; exit 0 ;;
    *) wanted+=("$1"); shift ;;
  esac
done

selection=$(table | python3 -c "$helper" select "$sample" "$seed" "${wanted[@]}")
if [ -z "$selection" ]; then
  echo "no mutant selected" >&2
  exit 2
fi

if $list_only; then
  while IFS=$'\t' read -r id file description equivalent; do
    problem=$(table | python3 -c "$helper" check "$id")
    printf '%-4s %-40s %s%s%s\n' "$id" "$file" "$description" "${equivalent:+ (equivalent)}" \
      "${problem:+  [NOT APPLIED: $problem]}"
  done <<<"$selection"
  exit 0
fi

build=build-mutants
log_dir=$build/mutant-logs
scratch=$(mktemp -d)
applied_file=""
child=""

# Builds and test runs go in a session of their own, so that an interrupt
# reaches this script at once and it can stop them, wait for them, and only
# then put the source back (an object compiled from the mutant after that
# would look newer than the original and stay in the build).
run() {  # log file, command...
  local log=$1 status=0
  shift
  setsid "$@" >"$log" 2>&1 &
  child=$!
  wait "$child" || status=$?
  child=""
  return "$status"
}
restore() {
  if [ -n "$applied_file" ]; then
    # Written over in place: the same bytes, a new time, so the next build
    # compiles the original again (a ccache hit).
    cat "$scratch/original" >"$applied_file"
    applied_file=""
  fi
}
finish() {
  if [ -n "$child" ]; then
    kill -TERM -- "-$child" 2>/dev/null || true
    wait "$child" 2>/dev/null || true
  fi
  restore
  rm -rf "$scratch"
}
trap finish EXIT
trap 'finish; echo "interrupted: the source is back as it was" >&2; exit 130' INT TERM

run_tests() {  # log file
  run "$1" ctest --test-dir "$build" -j2 --timeout 120 --stop-on-failure
}

echo "Configuring and building $build/ and running the unmutated suite ..."
mkdir -p "$log_dir"
run "$log_dir/configure.log" cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQARPOST_WERROR=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache || { cat "$log_dir/configure.log"; exit 1; }
run "$log_dir/baseline-build.log" cmake --build "$build" -j2 || { tail -40 "$log_dir/baseline-build.log"; exit 1; }
if ! run_tests "$log_dir/baseline-test.log"; then
  echo "The unmutated suite fails; see $log_dir/baseline-test.log" >&2
  exit 1
fi

caught=0
survived=0
equivalent_survivors=0
build_failed=0
not_applied=0
while IFS=$'\t' read -r id file description equivalent; do
  cp "$file" "$scratch/original" 2>/dev/null || true
  applied_file=$file
  if ! problem=$(table | python3 -c "$helper" apply "$id"); then
    applied_file=""
    result="NOT APPLIED ($problem)"
    not_applied=$((not_applied + 1))
  elif ! run "$log_dir/$id-build.log" cmake --build "$build" -j2; then
    result="BUILD FAILED"
    build_failed=$((build_failed + 1))
  elif run_tests "$log_dir/$id-test.log"; then
    if [ -n "$equivalent" ]; then
      result="SURVIVED (equivalent)"
      equivalent_survivors=$((equivalent_survivors + 1))
    else
      result="SURVIVED"
    fi
    survived=$((survived + 1))
  else
    first=$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\).*(\(Failed\|Timeout\|Subprocess aborted\|Exception\).*/\1/p' \
      "$log_dir/$id-test.log" | head -1)
    result="CAUGHT${first:+ by $first}"
    caught=$((caught + 1))
  fi
  restore
  printf '%-4s %-40s %-80s %s\n' "$id" "$file" "$description" "$result"
done <<<"$selection"

# Leave the build matching the restored sources.
run "$log_dir/final-build.log" cmake --build "$build" -j2 || true

counted=$((caught + survived))
echo
echo "not applied: $not_applied, build failed: $build_failed, survivors argued equivalent: $equivalent_survivors"
if [ $((counted - equivalent_survivors)) -gt 0 ]; then
  echo "behaviour-changing mutants caught: $caught of $((counted - equivalent_survivors))" \
    "($((100 * caught / (counted - equivalent_survivors))) %)"
fi
echo "caught $caught of $counted"
