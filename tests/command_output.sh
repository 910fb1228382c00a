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

# One rule for inputs: -o names a path ("-o -" is a file called "-"); an
# input is a file named, or standard input when none is or one is "-".
"$kesti" -o - in.txt < in.txt
check "-o - writes a file called -" grep -qx Beijing ./-
"$kesti" -o in.txt < in.txt 2> err.txt
check "-o f < f is refused" test $? -eq 2
"$kesti" -o in.txt - < in.txt 2> err.txt
check "-o f - < f is refused" test $? -eq 2
check "the input is untouched" grep -qx Pei-ching in.txt

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
