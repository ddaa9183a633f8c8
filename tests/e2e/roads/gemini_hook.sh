# Gemini CLI's road: its BeforeTool call for run_shell_command. Gemini CLI has no "ask", so the
# hook itself waits for the answer given on the panel.
. "$here/agent_hook.sh"
agent_hook_road gemini .gemini/settings.json \
    '{"session_id":"road-9","transcript_path":"/dev/null","cwd":"'"$HOME"'","hook_event_name":"BeforeTool","timestamp":"2026-05-01T10:00:00Z","tool_name":"run_shell_command","tool_input":{"command":"sudo ls","description":"List files as root"}}' \
    '"decision":"deny"'
