#include "plist/bundle.h"
namespace quillon { Bundle::Bundle(std::filesystem::path root, std::vector<std::string> languages) : root_(std::move(root)), languages_(std::move(languages)) {} }
