# An agent asks, the question shows, it is allowed once, the agent goes on, and one refresh later
# the activity list holds the action the engine logged. The app is asked to open its windows at
# start, so the question is photographed beside them.
VARDEX_OPEN_WINDOWS=1 app_start
step wait-until connected 30
agent_asks road-1 "sudo ls /root" "$ROAD_DIR/agent.txt"
step wait-until 'pending>=1' 20
step capture question
for surface in approval dashboard log; do
    expect_in "$ROAD_DIR/commands.out" "question-$surface.png" "the windows on screen"
done
step answer first allow_once
wait "$agent_pid" || fail "the agent was not let through: $(cat "$ROAD_DIR/agent.txt")"
expect_in "$ROAD_DIR/agent.txt" "allow (priv.sudo)" "the agent's answer"
step state
expect_eq "$(result pending)" "[]" "questions still waiting"

step refresh
step wait-until idle 20
step export-log "$ROAD_DIR/activity.jsonl"
expect_in "$ROAD_DIR/activity.jsonl" '"decision":"allow"' "the activity list"
expect_in "$ROAD_DIR/activity.jsonl" 'sudo ls /root' "the activity list"
step page activity
step capture activity
app_quit
