#!/bin/sh
# A run at a real terminal: a private tmux server types the answers only once
# each prompt is on the screen, then reads the screen back.
# Usage: terminal.sh EXE answers|end-of-input
exe=$1
# shellcheck source=tests/lib.sh
. "${0%/*}/lib.sh"
need tmux
tmux="tmux -S $tmp/socket -f /dev/null"
trap '$tmux kill-server 2>/dev/null; rm -rf "$tmp"' EXIT

# within COMMAND...: whether COMMAND succeeds within 10 seconds of retrying.
within() {
    i=0
    until "$@"; do
        [ $i -lt 100 ] || return 1
        sleep 0.1
        i=$((i + 1))
    done
}

# shows TEXT: whether the screen shows TEXT; tmux trims the blanks at line ends.
shows() {
    screen=$($tmux capture-pane -p)
    case $screen in *"$1"*) return 0 ;; esac
    return 1
}

# Waits until the screen shows TEXT.
wait_for() {
    within shows "$1" || fail "never saw \"$1\" on the screen:$nl$screen"
}

# Whether the terminal has line editing off.
raw() {
    stty -a <"$pane" | grep -q -- '-icanon'
}

if [ "$2" = end-of-input ] && on_windows; then
    skip "Wine's console reads Ctrl-Z and Enter as an empty line, where Windows ends the input"
fi
$tmux new-session -d -x 100 -y 8 "${NAME_DIALOGUE_EMULATOR:-} '$exe'; echo \"exit status \$?\"; sleep 60"
wait_for "Please enter your first name:"
# Wine's console turns the terminal's line editing off and takes keys typed
# before that for others (Enter arrives as Ctrl-J): type only once it has.
if on_windows; then
    pane=$($tmux display -p '#{pane_tty}')
    within raw || fail "the terminal never left line editing under Wine"
fi
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
