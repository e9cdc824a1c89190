#!/bin/sh
# A run at a real terminal: a private tmux server types the answers only once
# each prompt is on the screen, then reads the screen back.
set -u
exe=$1
if ! command -v tmux >/dev/null 2>&1; then
    echo "skipped: tmux is not installed"
    exit 77
fi
tmp=$(mktemp -d) || exit 1
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
    printf 'never saw "%s" on the screen:\n%s\n' "$1" "$screen"
    exit 1
}

$tmux new-session -d -x 60 -y 8 "'$exe'; echo \"exit status \$?\"; sleep 60"
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
[ "$screen" = "$expected" ] || { printf 'screen:\n%s\nexpected:\n%s\n' "$screen" "$expected"; exit 1; }
