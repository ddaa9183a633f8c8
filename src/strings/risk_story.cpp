#include "strings/risk_story.hpp"

#include "strings/platform_words.hpp"

namespace vardex::UIStrings {

const RiskStory fallbackRiskStory{
    "This action looks risky.",
    "Vardex stopped it so an AI app cannot change files or send data you did not allow.",
    "Allow this time only if you asked for it.",
};

const std::map<std::string_view, RiskStory>& riskStories() {
    static const std::map<std::string_view, RiskStory> stories{
        {"money_movement",
         {"A payment needs your approval.",
          "The agent called a payment tool. Money only moves when you say so.",
          "Allow this time only if you asked for this payment."}},
        {"secrets.ssh_private_key",
         {"An AI app tried to read a private server key.",
          "Anyone with that key can log into your servers as you.",
          "Allow this time only if you are sure you asked it to use that key."}},
        {"secrets.dotenv",
         {"An AI app tried to read a secrets file.",
          "Those files often hold passwords and API keys.",
          "Allow this time only for a file you trust in this project."}},
        {"secrets.cloud_credentials",
         {"An AI app tried to read cloud keys.",
          "Those keys can create or delete things on your cloud account.",
          "Allow this time only if you asked it to use your cloud account."}},
        {"secrets.package_tokens",
         {"An AI app tried to read a sign-in token for your code accounts.",
          "A stolen token can publish code or change repositories in your name.",
          "Allow this time only if you asked it to publish or fetch a package."}},
        {"secrets.keychain",
         {"An AI app tried to read saved passwords.",
          keychainWhy,
          "Allow this time only if you asked it to use a saved password."}},
        {"secrets.browser_data",
         {"An AI app tried to read browser passwords or cookies.",
          "That can sign in to your sites as you.",
          "Allow this time only if you asked it to use a browser login."}},
        {"secrets.content_in_args",
         {"A command looks like it contains a secret.",
          "Pasting keys into a command can leak them to logs or other apps.",
          "Allow this time only if you typed that command on purpose."}},
        {"exfil.secret_to_network",
         {"An AI app tried to send a secret somewhere else.",
          secretLeavesWhy,
          "Allow this time only if you asked it to send that file."}},
        {"exfil.upload_file",
         {"An AI app tried to upload a local file.",
          "Uploads can put private files on someone else's computer.",
          "Allow this time only if you asked it to send that file."}},
        {"rce.pipe_to_shell",
         {"An AI app tried to download and run a program in one step.",
          "That is a common way malware gets in.",
          "Allow this time only if you trust the download and asked for it."}},
        {"rce.decode_and_exec",
         {"An AI app tried to run a scrambled command you can't read.",
          "Hidden commands are hard to review and easy to abuse.",
          "Allow this time only if you wrote that command yourself."}},
        {"destructive.rm_home_root",
         {"An AI app tried to delete your home folder or whole disk.",
          "That would wipe your files with no undo.",
          "Do not allow this unless you are wiping a machine on purpose."}},
        {"destructive.rm_recursive_outside_ws",
         {"An AI app tried to delete files outside this project.",
          "A wide delete can remove photos, documents, or other projects.",
          "Allow this time only for a folder you asked it to clean up."}},
        {"destructive.disk",
         {"An AI app tried to erase a disk.",
          "Disk erase cannot be undone.",
          "Do not allow this unless you are wiping a disk on purpose."}},
        {"self.tamper",
         {"An AI app tried to switch Vardex off.",
          "If protection is turned off, later actions are not checked.",
          "Allow this time only if you asked it to change Vardex."}},
        {"priv.sudo",
         {"An AI app tried to run with extra powers.",
          adminWhy,
          "Allow this time only if you asked for an admin step."}},
        {"persist.autostart",
         {"An AI app tried to change what starts when you log in.",
          "Login items can keep a program running without you noticing.",
          "Allow this time only if you asked it to change login items."}},
        {"destructive.fork_bomb",
         {"An AI app tried to run a command that freezes the computer.",
          "It starts copies of itself until nothing else can run.",
          "Do not allow this."}},
        {"destructive.git_force_push",
         {"An AI app tried to overwrite history on a shared repository.",
          "A forced push can erase other people's work on the server.",
          "Allow this time only if you asked for a forced push."}},
        {"net.raw_socket",
         {"An AI app tried to open a hidden connection to another computer.",
          remoteControlWhy,
          "Allow this time only if you asked it to open that connection."}},
    };
    return stories;
}

const RiskStory& riskStory(std::string_view ruleId) {
    const auto& stories = riskStories();
    auto found = stories.find(ruleId);
    return found == stories.end() ? fallbackRiskStory : found->second;
}

const RiskStory& riskStory(const std::optional<std::string>& ruleId) {
    return ruleId ? riskStory(std::string_view(*ruleId)) : fallbackRiskStory;
}

}  // namespace vardex::UIStrings
