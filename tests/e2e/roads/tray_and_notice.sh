# The icon sits in the tray host and a click on it opens the popover; a question reaches the
# desktop's notification service as a notice.
app_start
step wait-until connected 30
step capture before-click
case "$reply" in *-popover.png*) fail "the popover was open before any click: the app found no tray" ;; esac
shown=
for attempt in $(seq 20); do
    # trayer's panel holds our icon, the only one, at its left end.
    xdotool search --name '^panel$' mousemove --window %1 12 12 click 1 >/dev/null 2>&1 || true
    sleep 0.3
    step capture "tray-$attempt"
    case "$reply" in *-popover.png*) shown=yes; break ;; esac
done
[ -n "$shown" ] || fail "a click on the tray icon never opened the popover"

agent_asks road-5 "sudo ls /root" "$ROAD_DIR/agent.txt"
step wait-until 'pending>=1' 20
for _ in $(seq 50); do grep -q 'member=Notify' "$ROAD_DIR/notices.txt" && break; sleep 0.1; done
expect_in "$ROAD_DIR/notices.txt" 'member=Notify' "the notification service's calls"
expect_in "$ROAD_DIR/notices.txt" 'string "Needs your answer"' "the question's notice"
held=$(( $(dunstctl count displayed) + $(dunstctl count waiting) + $(dunstctl count history) ))
[ "$held" -ge 1 ] || fail "the notification service holds no notice"
step answer first deny
wait "$agent_pid" && fail "the agent was let through after a refusal"
app_quit
