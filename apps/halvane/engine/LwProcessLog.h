#pragma once
// The operation log of halvane: the running program's file name, its version
// and one record per processing step with its parameters as key/value texts.
// Each operation builds one log on its stack:
//   LogOpen(version); per step LogOpenFunction(name) and the adders;
//   LogWrite(text keys) once, before the keys go to the viewer.
// LogWrite renders the log as one Barn text
//   <app><name>program</name>\n<ver>0.0.5</ver>\n
//   <func><name>Step</name>\n<i><key>k</key>\n<value>v</value>\n</i>\n...</func>\n
//   </app>\n
// and appends it to the list under the text key "log", so an image made from
// an image made before carries the whole history, oldest first.

#include "core/LwInfoMap.h"
#include "core/LwTypes.h"

#include <string>
#include <utility>
#include <vector>

class LwProcessLog
{
public:
    // name = the running program's file name (no folder), ver = version.
    // The records are left as they are.
    void LogOpen(const std::string& version);
    // Appends a record without items.
    void LogOpenFunction(const std::string& name);
    // Appends the pair to the last record; LwError "Please call
    // LogOpenFunction before use this" when there is none.
    void LogAddString(const std::string& key, const std::string& value);
    // "true" / "false".
    void LogAddBool(const std::string& key, bool value);
    // The numbers as a default-formatted string stream writes them (six
    // significant digits, shorter of fixed and exponent form).
    void LogAddInt(const std::string& key, int value);
    void LogAddDouble(const std::string& key, double value);
    void LogAddLDouble(const std::string& key, const LDouble& value);

    // The log as one Barn text.
    std::string Render() const;
    // Appends Render() to textKeys["log"]; the map changes only when the
    // text was made.
    void LogWrite(LwInfoStringMap& textKeys) const;

    const std::string& Name() const { return name_; }
    const std::string& Version() const { return ver_; }

private:
    struct Function
    {
        std::string name;
        std::vector<std::pair<std::string, std::string>> items;
    };

    std::string name_;
    std::string ver_;
    std::vector<Function> functions_;
};
