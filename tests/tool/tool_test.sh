#!/usr/bin/env bash
# The kestrane tool end to end: each command, '-' pipes, every exit status,
# and a one-line explanation for each failure, with nothing written.
#   tool_test.sh PATH_TO_KESTRANE
set -uo pipefail
tool=$(realpath "$1")
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
cd "$work" || exit 1

passed=0
failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }

# run EXPECTED_STATUS ARGS... : runs the tool, keeps stdout/stderr in out/err.
run() {
    local expected=$1; shift
    "$tool" "$@" >out 2>err
    local status=$?
    if [ "$status" -eq "$expected" ]; then ok; else bad "kestrane $* exited $status, not $expected: $(cat err)"; fi
}
# says FILE TEXT: FILE holds TEXT (a fixed string).
says() { if grep -qF -- "$2" "$1"; then ok; else bad "$1 lacks '$2': $(cat "$1")"; fi; }
one_line() { if [ "$(wc -l <err)" -eq 1 ]; then ok; else bad "stderr is not one line: $(cat err)"; fi; }
same() { if cmp -s "$1" "$2"; then ok; else bad "$1 and $2 differ"; fi; }
absent() { if [ ! -e "$1" ]; then ok; else bad "$1 was written"; fi; }

head -c 100000 /dev/urandom >plain
printf 'old' >keep

# Each command, file to file, and in place.
run 0 encrypt plain rec
test "$(stat -c %s rec)" -eq 100001 && ok || bad "record is not one byte longer"
run 0 info rec
says out "rec: 100001 bytes, key index "
run 0 decrypt rec back
same back plain
cp plain inplace
run 0 encrypt inplace inplace
run 0 decrypt inplace inplace
same inplace plain

# '-' for standard input and output, on either side.
"$tool" encrypt - - <plain | "$tool" decrypt - - >piped && same piped plain || bad "pipe round trip"
"$tool" encrypt - rec2 <plain && "$tool" decrypt rec2 - >back2 && same back2 plain || bad "- and file"

# Help, version, usage errors.
run 0 --help
says out "encrypt"
run 0 --version
says out "kestrane 1.0.0"
run 2
run 2 frobnicate
run 2 encrypt onlyone
run 2 decrypt a b c
run 2 info
run 2 encrypt --bogus a b

# Failures: exit 1, one line naming the file and the cause, nothing written.
run 1 encrypt missing out1
says err "kestrane: missing: no such file"; one_line; absent out1
: >empty
run 1 encrypt empty out2
says err "kestrane: empty: empty source"; one_line; absent out2
printf '\310abc' >notrec
run 1 decrypt notrec keep
says err "kestrane: notrec: first byte 200 is not a key index (0-29)"; one_line
test "$(cat keep)" = old && ok || bad "keep was changed"
printf '\310abc' | "$tool" decrypt - - >out 2>err
test $? -eq 1 && ok || bad "stdin decrypt of a non-record did not fail"
says err "kestrane: standard input: first byte 200 is not a key index (0-29)"
test ! -s out && ok || bad "stdout was written on failure"
truncate -s 2147483647 huge
run 1 encrypt huge out3
says err "kestrane: huge: too large (more than 2,147,483,646 bytes)"; absent out3
truncate -s 2147483648 huger
run 1 decrypt huger out4
says err "kestrane: huger: too large (more than 2,147,483,647 bytes)"; absent out4
rm -f huge huger
run 1 encrypt plain nodir/out5
says err "kestrane: nodir/out5: destination cannot be written: no such directory"; one_line
mkdir adir
run 1 encrypt adir out6
says err "kestrane: adir: is a directory"; absent out6

# Permission denied, as an unprivileged user (root passes every check).
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 755 "$work"
fi
cp plain secret && chmod 000 secret
mkdir locked && chmod 555 locked
cp plain readable && chmod 644 readable
"${as_user[@]}" "$tool" encrypt secret out7 >out 2>err
test $? -eq 1 && ok || bad "unreadable source did not fail"
says err "kestrane: secret: permission denied"; absent out7
"${as_user[@]}" "$tool" encrypt readable locked/out8 >out 2>err
test $? -eq 1 && ok || bad "unwritable directory did not fail"
says err "kestrane: locked/out8: destination cannot be written"; absent locked/out8

# info on several files: one line each; fails when any is not a record.
run 1 info rec empty notrec missing
says out "rec: 100001 bytes, key index"
says out "empty: 0 bytes, not a record: empty source"
says out "notrec: 4 bytes, not a record: first byte 200 is not a key index (0-29)"
says err "kestrane: missing: no such file"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
