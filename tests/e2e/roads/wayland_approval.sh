# Under a Wayland compositor: the tray item registers over StatusNotifierItem and its activation
# (what a panel sends on a click) opens the popover; a question brings the approval panel up with
# the focus and reaches the notification service; the answer lets the agent go on.
app_start
step wait-until connected 30
step state
expect_eq "$(result platform)" '"wayland"' "the app's platform"

# The item the app registered with the panel's watcher: its bus name, then its object path.
item=
for _ in $(seq 50); do
    item=$(dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null | grep -o 'string "[^"]*"' | head -n 1 | cut -d '"' -f 2) || true
    [ -n "$item" ] && break
    sleep 0.1
done
[ -n "$item" ] || fail "the tray item never registered with the panel's watcher"
dbus-send --session --type=method_call --dest="${item%%/*}" "/${item#*/}" org.kde.StatusNotifierItem.Activate \
    int32:0 int32:0 || fail "the tray item did not take the panel's click"
shown=
for attempt in $(seq 30); do
    step capture "tray-$attempt"
    case "$reply" in *-popover.png*) shown=yes; break ;; esac
    sleep 0.1
done
[ -n "$shown" ] || fail "activating the tray item did not open the popover"

agent_asks wayland-1 "sudo ls /root" "$ROAD_DIR/agent.txt"
step wait-until 'pending>=1' 20
for _ in $(seq 50); do
    step state
    [ "$(result active)" = '"approval"' ] && break
    sleep 0.1
done
expect_eq "$(result active)" '"approval"' "the window with the focus when a question came"
for _ in $(seq 50); do grep -q 'member=Notify' "$ROAD_DIR/notices.txt" && break; sleep 0.1; done
expect_in "$ROAD_DIR/notices.txt" 'string "Needs your answer"' "the question's notice"
step capture question
step answer first allow_once
wait "$agent_pid" || fail "the agent was not let through: $(cat "$ROAD_DIR/agent.txt")"
expect_in "$ROAD_DIR/agent.txt" "allow (priv.sudo)" "the agent's answer"
app_quit
