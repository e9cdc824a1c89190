#!/bin/sh
# A run at a real terminal: a private tmux server types the answers only once
# each prompt is on the screen, then reads the screen back.
# Usage: terminal.sh EXE answers|end-of-input
# For Windows, a run at Wine's console, from a case of console/: CASE.in is
# typed there, or the keys of CASE.keys are put into its input by the
# helper inject-keys.exe (NAME_DIALOGUE_INJECT_KEYS), for what a terminal
# cannot type; standard output then goes to a file that must hold CASE.out
# byte for byte, or to the screen, which must show the answers as typed.
# EXE may be a bare name, which Windows finds on PATH from an empty folder.
# EXE may be a bare name, which Windows finds on PATH from an empty folder.
# Usage: terminal.sh EXE console CASE default|CODEPAGE file|screen
exe=$1
# shellcheck source=tests/lib.sh
. "${0%/*}/lib.sh"
need tmux
# The terminal is UTF-8, and what runs in it is told so: Wine reads and
# draws the terminal's bytes in the locale's character set.
export LC_ALL=C.UTF-8
tmux="tmux -S $tmp/socket -f /dev/null"
trap '$tmux kill-server 2>/dev/null; rm -rf "$tmp"' EXIT

# within COMMAND...: whether COMMAND succeeds within 30 seconds of retrying,
# time a loaded machine may need to start Wine.
within() {
    i=0
    until "$@"; do
        [ $i -lt 300 ] || return 1
        sleep 0.1
        i=$((i + 1))
    done
}

# shows TEXT: whether the screen shows TEXT; tmux trims the blanks at line ends.
shows() {
    screen=$($tmux capture-pane -p)
    case $screen in *"$1"*) return 0 ;; *) return 1 ;; esac
}

# Waits until the screen shows TEXT.
wait_for() {
    within shows "$1" || fail "never saw \"$1\" on the screen:$nl$screen"
}

# Whether the terminal has line editing off.
raw() {
    stty -a <"$pane" | grep -q -- '-icanon'
}
raw_or_ended() {
    raw || shows "exit status"
}

# windows PATH: PATH as Wine's programs name it.
windows() {
    printf 'Z:%s' "$1" | tr / '\134'
}

if [ "$2" = console ]; then
    on_windows || fail "a console case is for Windows"
    case=${0%/*}/console/$3
    case $exe in */*) command=$(windows "$exe") ;; *) command=$exe ;; esac
    mkdir "$tmp/empty"
    if [ -f "$case.keys" ]; then
        helper=${NAME_DIALOGUE_INJECT_KEYS:-}
        [ -f "$helper" ] || skip "no inject-keys.exe, which a compiler for Windows builds, at '$helper'"
        command="$(windows "$helper") $command $(tr '\n' ' ' <"$case.keys")"
    fi
    [ "$5" = screen ] || command="$command > $(windows "$tmp/out")"
    [ "$4" = default ] || command="chcp $4 >nul & $command"
    # Under load, Wine now and then cannot start a program at all: its cmd
    # says "ShellExecuteEx failed", or it exits 1 and leaves the screen
    # empty. Such a run, in which no prompt was ever written or nothing at all
    # reached the console, is tried again, three times at most. A run of the
    # program always shows something there: the answers' echo, or its error.
    for try in 1 2 3; do
        # A server of its own each time: a new session can meet the last
        # one's server while it is still going away.
        tmux="tmux -S $tmp/socket$try -f /dev/null"
        rm -f "$tmp/out"
        # Wine's console breaks long lines itself: the pane is wide enough.
        $tmux new-session -d -x 6000 -y 8 -c "$tmp/empty" "$NAME_DIALOGUE_EMULATOR cmd /c \"$command\"; echo \"exit status \$?\"; sleep 60"
        pane=$($tmux display -p '#{pane_tty}')
        if [ -f "$case.in" ] && within raw_or_ended && raw; then
            while IFS= read -r line; do
                $tmux send-keys -l "$line"
                $tmux send-keys Enter
            done <"$case.in"
        fi
        wait_for "exit status"
        case $(printf '%s\n' "$screen" | grep -m 1 .) in
        "exit status "*) ;;
        *"Please enter your first name:"*) break ;;
        *) [ ! -s "$tmp/out" ] || break ;;
        esac
        [ "$try" -eq 3 ] || $tmux kill-server
    done
    [ "$(printf '%s\n' "$screen" | sed -n 's/^exit status //p')" = 0 ] || fail "screen:$nl$screen"
    if [ "$5" = file ]; then
        cmp -s "$case.out" "$tmp/out" || fail "standard output differs:$nl$(od -c "$tmp/out" | head -n 20)"
    else
        # The screen shows each answer after its prompt, then the results;
        # Wine draws a character beyond the BMP as two U+FFFD.
        results=$(LC_ALL=C sed 's/\r$//; 1s/^Please enter your first name: Please enter your last name: //' "$case.out")
        expected=$(printf '%s\n' "$results" | sed 's/^First name is:/Please enter your first name:/
            s/^Last name is:/Please enter your last name:/'
            printf '%s\nexit status 0\n' "$results")
        expected=$(printf '%s\n' "$expected" | LC_ALL=C sed 's/\xf0[\x80-\xbf]\{3\}/\xef\xbf\xbd\xef\xbf\xbd/g')
        screen=$($tmux capture-pane -p | sed -n "1,$(printf '%s\n' "$expected" | wc -l)p")
        [ "$screen" = "$expected" ] || fail "screen:$nl$screen${nl}expected:$nl$expected"
    fi
    exit 0
fi

if [ "$2" = end-of-input ] && on_windows; then
    skip "Wine's console drops a typed Ctrl-Z, which ends the input at a Windows console; console/ puts it in"
fi
$tmux new-session -d -x 100 -y 8 "${NAME_DIALOGUE_EMULATOR:-} '$exe'; echo \"exit status \$?\"; sleep 60"
wait_for "Please enter your first name:"
# Wine's console turns the terminal's line editing off and takes keys typed
# before that for others (Enter arrives as Ctrl-J): type only once it has.
pane=$($tmux display -p '#{pane_tty}')
! on_windows || within raw || fail "the terminal never left line editing under Wine:$nl$($tmux capture-pane -p)"
case $2 in
answers)
    $tmux send-keys -l "Ada Lovelace"
    $tmux send-keys Enter
    wait_for "Please enter your last name:"
    $tmux send-keys -l " Byron "
    $tmux send-keys Enter
    expected="Please enter your first name: Ada Lovelace
Please enter your last name:  Byron
First name is: Ada Lovelace
Last name is:  Byron
exit status 0"
    ;;
end-of-input)
    # The terminal's own end of input; both names are then empty.
    $tmux send-keys C-d
    expected="Please enter your first name: Please enter your last name: First name is:
Last name is:
exit status 0"
    ;;
*) fail "no such check: $2" ;;
esac
wait_for "exit status"
lines=$(printf '%s\n' "$expected" | wc -l)
screen=$($tmux capture-pane -p | sed -n "1,${lines}p")
[ "$screen" = "$expected" ] || fail "screen:$nl$screen${nl}expected:$nl$expected"
