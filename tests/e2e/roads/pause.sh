# A pause refuses the next question at once, and it outlives a restart of the app.
app_start
step wait-until connected 30
step pause
step state
expect_eq "$(result status.paused)" "true" "paused"
agent_asks road-3 "sudo ls /root" "$ROAD_DIR/agent-1.txt"
if wait "$agent_pid"; then fail "an agent was let through while paused"; fi
expect_in "$ROAD_DIR/agent-1.txt" "deny" "the agent's answer while paused"
app_quit

app_start
step wait-until connected 30
step state
expect_eq "$(result status.paused)" "true" "paused after a restart"
agent_asks road-3 "sudo ls /etc" "$ROAD_DIR/agent-2.txt"
if wait "$agent_pid"; then fail "an agent was let through while paused after a restart"; fi
expect_in "$ROAD_DIR/agent-2.txt" "deny" "the agent's answer after a restart"
step resume
step state
expect_eq "$(result status.paused)" "false" "paused after resuming"
app_quit
