# Cursor's road: its beforeShellExecution call, answered with a permission.
. "$here/agent_hook.sh"
agent_hook_road cursor .cursor/hooks.json \
    '{"conversation_id":"road-7","generation_id":"g-1","hook_event_name":"beforeShellExecution","workspace_roots":["'"$HOME"'"],"command":"sudo ls","cwd":"'"$HOME"'"}' \
    '"permission":"deny"'
