#!/usr/bin/env bash
# The built command where its output goes: through a symbolic link, into a
# FIFO and a device, onto a full disk and into a closed pipe, and where the
# output may not go (an input). Usage: command_output.sh KESTI TABLES_DIR
set -u
kesti=$1
export KESTI_TABLE_DIR=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
passed=0 failed=0
check() {  # check NAME COMMAND...: passes when COMMAND succeeds
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

printf 'Pei-ching\n' > in.txt

# A symbolic link: the target is written, the link stays a link.
printf 'old\n' > target.txt
ln -s target.txt link.txt
"$kesti" -o link.txt in.txt
check "symlink kept" test -L link.txt
check "symlink target written" grep -qx Beijing target.txt

# A link to a file not yet there: the file is made where the link points.
ln -s made.txt dangling.txt
"$kesti" -o dangling.txt in.txt
check "dangling link kept" test -L dangling.txt
check "dangling link's target made" grep -qx Beijing made.txt

# A FIFO: written into, not replaced; its reader gets the text.
mkfifo pipe
cat pipe > from-pipe.txt &
reader=$!
"$kesti" -o pipe in.txt
wait "$reader"
check "fifo still a fifo" test -p pipe
check "fifo reader got the text" grep -qx Beijing from-pipe.txt

# A device: written into, never replaced (as root a rename would replace it).
"$kesti" -o /dev/null in.txt
check "/dev/null still a device" test -c /dev/null

# A new file gets the permissions of the process's umask.
(umask 027 && "$kesti" -o fresh.txt in.txt)
check "new file made with the umask" test "$(stat -c %a fresh.txt)" = 640
# Replacing a file keeps its permissions.
printf 'x\n' > kept.txt && chmod 604 kept.txt
"$kesti" -o kept.txt in.txt
check "replaced file keeps its mode" test "$(stat -c %a kept.txt)" = 604

# A full disk: exit 1 with the reason.
if [ -w /dev/full ]; then
  "$kesti" < in.txt > /dev/full 2> err.txt
  check "full disk exits 1" test $? -eq 1
  check "full disk names the reason" grep -q "standard output: No space left on device" err.txt
fi

# A closed pipe with SIGPIPE ignored: the command stops, names the reason.
( trap '' PIPE; yes Pei-ching | timeout 20 "$kesti" 2> err.txt | head -c 20 > /dev/null; echo "${PIPESTATUS[1]}" > status.txt )
check "closed pipe stops the command" test "$(cat status.txt)" = 1
check "closed pipe names the reason" grep -q "standard output: Broken pipe" err.txt

# Standard input that cannot be read names the reason.
"$kesti" < . 2> err.txt
check "unreadable standard input exits 1" test $? -eq 1
check "unreadable standard input names the reason" grep -q "standard input: Is a directory" err.txt

# One rule for "-": standard input as an input, standard output as -o or
# --report; an input is a file named, or standard input when none is.
"$kesti" -o - in.txt < in.txt > out.txt
check "-o - writes to standard output" grep -qx Beijing out.txt
check "-o - makes no file called -" test ! -e ./-
"$kesti" --report - -o text.txt in.txt > report-out.txt
check "--report - writes the report to standard output" grep -q "^in.txt	1	1	Pei-ching	Beijing" report-out.txt
"$kesti" --report - in.txt > /dev/null 2> err.txt
check "the text and the report both to standard output exit 2" test $? -eq 2
"$kesti" -o in.txt < in.txt 2> err.txt
check "-o f < f is refused" test $? -eq 2
"$kesti" -o in.txt - < in.txt 2> err.txt
check "-o f - < f is refused" test $? -eq 2
check "the input is untouched" grep -qx Pei-ching in.txt

# A table that is a FIFO is refused at once, in both modes; without the
# check, opening it waited for a writer forever.
mkdir fifo-tables && cp "$KESTI_TABLE_DIR"/*.txt fifo-tables/ && rm fifo-tables/kestisyl.txt
mkfifo fifo-tables/kestisyl.txt
for mode in --exact ""; do
  timeout 20 "$kesti" $mode --tables fifo-tables --text Pei 2> err.txt
  check "fifo table exits 1 ($mode)" test $? -eq 1
  check "fifo table named with the reason ($mode)" grep -q "fifo-tables/kestisyl.txt: not a regular file" err.txt
done

# The report is written as -o is: never over an input, never over the
# output, and an old report survives a run that fails.
printf 'Pei-ching\n' > keep.txt
"$kesti" --report keep.txt keep.txt > /dev/null 2> err.txt
check "--report over an input exits 2" test $? -eq 2
check "--report over an input leaves it" grep -qx Pei-ching keep.txt
"$kesti" --report same.txt -o ./same.txt in.txt 2> err.txt
check "--report and -o as one file exit 2" test $? -eq 2
printf 'old report\n' > report.tsv
"$kesti" --report report.tsv in.txt missing.txt > /dev/null 2> err.txt
check "a failed run exits 1" test $? -eq 1
check "a failed run keeps the old report" grep -qx 'old report' report.tsv
"$kesti" --report report.tsv in.txt > /dev/null
check "a run that succeeds writes the report" grep -q '^file	line' report.tsv
check "no temporary file is left" test -z "$(ls -a | grep kesti-)"
if [ -w /dev/full ]; then
  "$kesti" --report /dev/full in.txt > /dev/null 2> err.txt
  check "a report that cannot be written exits 1" test $? -eq 1
  check "a report that cannot be written names the reason" grep -q "/dev/full: No space left on device" err.txt
fi

# Standard output appended to an input is refused, as cat refuses it.
printf 'Pei-ching\n' > grow.txt
timeout 20 "$kesti" grow.txt >> grow.txt 2> err.txt
check "kesti f >> f exits 2" test $? -eq 2
check "kesti f >> f names the file" grep -q "grow.txt: input file is output file" err.txt
check "kesti f >> f leaves f" test "$(cat grow.txt)" = Pei-ching
timeout 20 "$kesti" < grow.txt >> grow.txt 2> err.txt
check "kesti < f >> f exits 2" test $? -eq 2
"$kesti" grow.txt >> other.txt
check "appending to another file works" grep -qx Beijing other.txt

# A legal name close to the file system's limit: the temporary file beside
# it must not pass that limit.
long=$(printf 'n%.0s' $(seq 1 250)).txt
"$kesti" -o "$long" in.txt 2> err.txt
check "-o with a 254-byte name" grep -qx Beijing "$long"
"$kesti" -o "$long" in.txt 2> err.txt
check "-o replacing a 254-byte name" grep -qx Beijing "$long"

# An empty file name is a usage error, not a failed open.
"$kesti" --output= in.txt 2> err.txt
check "--output= exits 2" test $? -eq 2
"$kesti" --report= in.txt > /dev/null 2> err.txt
check "--report= exits 2" test $? -eq 2

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
