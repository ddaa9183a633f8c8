# Nobody answers: when the app's waiting time ends the agent is refused, and the activity list
# shows the refusal. The daemon is told to wait longer than the app, so the refusal is the app's.
mkdir -p "$HOME/.config/talvenor/vardex"
printf 'defaults:\n  ask_timeout_seconds: 90\n' >"$HOME/.config/talvenor/vardex/policy.yaml"
app_start
step wait-until connected 30
agent_asks road-2 "sudo ls /root" "$ROAD_DIR/agent.txt"
step wait-until 'pending>=1' 20
if wait "$agent_pid"; then fail "the agent was let through: $(cat "$ROAD_DIR/agent.txt")"; fi
expect_in "$ROAD_DIR/agent.txt" "deny" "the agent's answer"
expect_in "$ROAD_DIR/agent.txt" "do not retry" "the agent's answer"
step state
expect_eq "$(result pending)" "[]" "questions still waiting"
step refresh
step wait-until idle 20
step export-log "$ROAD_DIR/activity.jsonl"
expect_in "$ROAD_DIR/activity.jsonl" '"decision":"deny"' "the activity list"
app_quit
