#!/bin/sh
# A run at a real terminal: a private tmux server types the answers only once
# each prompt is on the screen, then reads the screen back.
exe=$1
# shellcheck source=tests/lib.sh
. "${0%/*}/lib.sh"
need tmux
tmux="tmux -S $tmp/socket -f /dev/null"
trap '$tmux kill-server 2>/dev/null; rm -rf "$tmp"' EXIT

# Waits until the screen shows TEXT; tmux trims the blanks at line ends.
wait_for() {
    i=0
    while [ $i -lt 100 ]; do
        screen=$($tmux capture-pane -p)
        case $screen in *"$1"*) return 0 ;; esac
        sleep 0.1
        i=$((i + 1))
    done
    fail "never saw \"$1\" on the screen:$nl$screen"
}

$tmux new-session -d -x 60 -y 8 "${NAME_DIALOGUE_EMULATOR:-} '$exe'; echo \"exit status \$?\"; sleep 60"
wait_for "Please enter your first name:"
$tmux send-keys -l "Ada Lovelace"
$tmux send-keys Enter
wait_for "Please enter your last name:"
$tmux send-keys -l " Byron "
$tmux send-keys Enter
wait_for "exit status"

expected="Please enter your first name: Ada Lovelace
Please enter your last name:  Byron
First name is: Ada Lovelace
Last name is:  Byron
exit status 0"
screen=$($tmux capture-pane -p | sed -n 1,5p)
[ "$screen" = "$expected" ] || fail "screen:$nl$screen${nl}expected:$nl$expected"
