# A pause refuses the next question at once, and it outlives a restart of the app and of its
# daemon. The daemon the app started ends with the app, however the app is ended; one that ends
# on its own is started again.
app_start
step wait-until connected 30
step pause
step state
expect_eq "$(result status.paused)" "true" "paused"
agent_asks road-3 "sudo ls /root" "$ROAD_DIR/agent-1.txt"
if wait "$agent_pid"; then fail "an agent was let through while paused"; fi
expect_in "$ROAD_DIR/agent-1.txt" "deny" "the agent's answer while paused"
app_quit
! kill -0 "$(daemon_pid)" 2>/dev/null || fail "the daemon outlived the app that started it"

app_start
step wait-until connected 30
step state
expect_eq "$(result status.paused)" "true" "paused after a restart"
agent_asks road-3 "sudo ls /etc" "$ROAD_DIR/agent-2.txt"
if wait "$agent_pid"; then fail "an agent was let through while paused after a restart"; fi
expect_in "$ROAD_DIR/agent-2.txt" "deny" "the agent's answer after a restart"

first=$(daemon_pid)
[ -n "$first" ] || fail "the daemon left no record"
kill -KILL "$first"
for _ in $(seq 300); do
    now=$(daemon_pid) || true
    [ -n "$now" ] && [ "$now" != "$first" ] && break
    sleep 0.1
done
[ "${now:-}" != "$first" ] || fail "the daemon was not started again after it ended"
step wait-until connected 30
agent_asks road-3 "sudo ls /srv" "$ROAD_DIR/agent-3.txt"
if wait "$agent_pid"; then fail "an agent was let through while paused after the daemon restarted"; fi
expect_in "$ROAD_DIR/agent-3.txt" "deny" "the agent's answer after the daemon restarted"

step resume
step state
expect_eq "$(result status.paused)" "false" "paused after resuming"
# Ended by the system (a logout) rather than from its menu, the app still takes its daemon along.
kill -TERM "$app_pid"
wait "$app_pid" || fail "the app ended with a failure on SIGTERM"
app_pid=
! kill -0 "$(daemon_pid)" 2>/dev/null || fail "the daemon outlived the app ended by SIGTERM"
