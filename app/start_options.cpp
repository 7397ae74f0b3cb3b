#include "app/start_options.h"

namespace tarvik {

StartOptions ParseStartOptions(const QStringList& arguments) {
    StartOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (word == "--help" || word == "-h") {
            options.help = true;
        } else if (word == "--disk" || word == "--screenshot" || word == "--screenshot-delay") {
            if (!hasValue) {
                options.error = word + " needs a value";
                return options;
            }
            const QString value = arguments[++i];
            if (word == "--disk") {
                options.diskPaths.push_back(value.toStdString());
            } else if (word == "--screenshot") {
                options.screenshotPath = value;
            } else {
                bool ok = false;
                options.screenshotDelayMs = value.toInt(&ok);
                if (!ok || options.screenshotDelayMs < 0) {
                    options.error = "--screenshot-delay needs a number of milliseconds";
                    return options;
                }
            }
        } else {
            options.error = "unknown argument '" + word + "'";
            return options;
        }
    }
    return options;
}

}  // namespace tarvik
