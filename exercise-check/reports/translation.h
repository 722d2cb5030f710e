// What a learner reads, in their language: a gettext catalogue (.mo), whole texts and templates.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// The words of one language, from its catalogue. A text is translated whole where the catalogue
// has it, else by a template whose %s stand for its parts: "line %s: %s" reads "line 2: write a
// blank after \"Broj:\"", and each part is translated in turn (a quoted text or a number stays
// as it is). Without a catalogue every text stays English.
class Translation {
  public:
    Translation() = default;

    // The catalogue's texts, from the bytes of a .mo file. Throws std::runtime_error when they
    // are not one.
    static Translation from_mo(std::string_view bytes);

    // The text in the language, or as it is where the catalogue has no words for it.
    std::string operator()(std::string_view english) const;

    // Whether the catalogue has words for the text, whole or by its templates.
    bool knows(std::string_view english) const;

    bool empty() const { return whole_.empty() && templates_.empty(); }

  private:
    struct Template {
        std::vector<std::string> pieces; // the literal text around each %s: one more than them
        std::string translation;         // with %s, or %1$s, %2$s ... where the parts go
    };
    bool translate(std::string_view english, std::string& out, int depth) const;
    std::map<std::string, std::string, std::less<>> whole_;
    std::vector<Template> templates_; // the longest literal text first
};

// A case's message (model.h's message()) in the language, line by line: the texts it quotes
// (each under a title that ends in ':', up to its <end>) stay as they were.
std::string message_said(std::string_view message, const Translation& words);

// The language a learner reads, "hr" or "en": given (--language), else of the environment as
// gettext reads it (LC_ALL, then LC_MESSAGES, then LANG: hr_HR.UTF-8 is "hr"). Throws
// std::invalid_argument for a language given that has no catalogue.
std::string learner_language(std::string_view given, const char* lc_all, const char* lc_messages,
                             const char* lang);

// The language's catalogue: share/locale/<language>/LC_MESSAGES/exercise-check.mo beside the
// tool as installed, else the one built in this project's tree; none for English.
Translation load_translation(const std::string& language);

} // namespace check
