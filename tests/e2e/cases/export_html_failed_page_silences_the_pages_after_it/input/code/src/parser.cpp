#include "parser.h"

int parse_number(const std::string& text)
{
    try {
        return std::stoi(text);
    }
    catch (const std::invalid_argument&) {
        /* not a number: counted as 0 */
    }
    return 0;
}

int sum_all(const std::vector<int>& items)
{
    int total = 0;
    for (const auto& item : items) {
        total += item;
    }
    return total;
}
