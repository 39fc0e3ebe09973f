#include "BoardDescription.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace {

std::string Trim(const std::string &s)
{
  size_t b = 0;
  size_t e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
    ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
    --e;
  return s.substr(b, e - b);
}

// "key=value" pairs after the name: "; k=0; n=-1; ..."; the first of each key counts.
std::map<char, std::string> Keys(const std::string &rest)
{
  std::map<char, std::string> keys;
  std::stringstream ss(rest);
  std::string part;
  while (std::getline(ss, part, ';')) {
    part = Trim(part);
    if (part.size() >= 2 && part[1] == '=' && !keys.count(part[0]))
      keys[part[0]] = part.substr(2);
  }
  return keys;
}

int KeyInt(const std::map<char, std::string> &keys, char key, int fallback)
{
  auto it = keys.find(key);
  return it == keys.end() ? fallback : std::atoi(it->second.c_str());
}

// Item lines: letter, index, blank, name, then '=' value (parameters) and keys.
bool ParseItem(const std::string &line, bool parameter, BoardItem *item, std::string *rest)
{
  size_t i = 1;
  const size_t digits = i;
  while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
    ++i;
  if (i == digits)
    return false;
  item->index = std::atoi(line.substr(digits, i - digits).c_str());
  while (i < line.size() && !std::isalpha(static_cast<unsigned char>(line[i])))
    ++i;
  const size_t nameEnd = line.find_first_of("#=;", i);
  if (i >= line.size() || nameEnd == std::string::npos)
    return false;
  item->name = line.substr(i, nameEnd - i);
  *rest = line.substr(nameEnd);
  if (parameter && line[nameEnd] == '=')
    item->value = std::atof(line.c_str() + nameEnd + 1);
  return true;
}

void ReadTable(const std::string &line, std::vector<std::string> *entries)
{
  const size_t eq = line.find('=');
  if (eq == std::string::npos)
    return;
  std::stringstream ss(line.substr(eq + 1));
  std::string e;
  while (std::getline(ss, e, ';')) {
    e = Trim(e);
    if (!e.empty())
      entries->push_back(e);
  }
}

} // namespace

const BoardItem *BoardDescription::FindVariable(const std::string &name) const
{
  for (const BoardItem &v : variables)
    if (v.name == name)
      return &v;
  return nullptr;
}

const BoardItem *BoardDescription::FindParameter(const std::string &name) const
{
  for (const BoardItem &p : parameters)
    if (p.name == name)
      return &p;
  return nullptr;
}

const BoardItem *BoardDescription::CommandParameter() const
{
  for (const BoardItem &p : parameters)
    if (p.storage == 0)
      return &p;
  return nullptr;
}

bool LoadBoardDescription(const std::string &path, BoardDescription *out, std::string *error)
{
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string all = buffer.str();
  const size_t headerEnd = all.find('\n');
  const std::string header = Trim(all.substr(0, headerEnd));
  if (header != "#Norv tembrano v1.1" && header != "#Norv tembrano v1.0") {
    *error = path + " is not a board description document";
    return false;
  }
  BoardDescription d;
  d.text = headerEnd == std::string::npos ? std::string() : all.substr(headerEnd + 1);
  std::map<int, int> blockBase;
  std::stringstream lines(d.text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty())
      continue;
    const char c = line[0];
    if (c == 'V') {
      const size_t eq = line.find('=');
      if (eq != std::string::npos && eq > 0) {
        std::string v = line.substr(eq + 1);
        v.erase(0, v.find_first_not_of(' '));
        while (!v.empty() && v.back() == ';')
          v.pop_back();
        d.version = v;
      }
    } else if (c == 'M') {
      const size_t eq = line.find('=');
      if (eq != std::string::npos)
        d.slave = std::atoi(line.c_str() + eq + 1) & 0xFF;
    } else if (c == 'K' || c == 'N') {
      std::vector<std::string> entries;
      ReadTable(line, &entries);
      for (const std::string &e : entries) {
        if (c == 'K')
          d.kTable.push_back(static_cast<int16_t>(std::atoi(e.c_str())));
        else
          d.nTable.push_back(static_cast<float>(std::atof(e.c_str())));
      }
    } else if (c == 's') {
      const size_t eq = line.find('=');
      if (eq == std::string::npos || eq < 2)
        continue;
      const bool coded = std::isalpha(static_cast<unsigned char>(line[eq - 1])) &&
                         std::isalpha(static_cast<unsigned char>(line[eq - 2])) && eq >= 3;
      if (coded) {
        const std::string code = line.substr(eq - 2, 2) + ";";
        if (d.languages.find(code) == std::string::npos)
          d.languages += code;
        continue;
      }
      // The standard dictionary: "[key]value" pairs.
      std::string pairs = line.substr(eq + 1);
      size_t at = 0;
      while (at < pairs.size() && pairs[at] == '[') {
        const size_t close = pairs.find(']', at);
        if (close == std::string::npos)
          break;
        const std::string key = pairs.substr(at + 1, close - at - 1);
        const size_t next = pairs.find('[', close);
        const std::string value = pairs.substr(close + 1, next == std::string::npos ? std::string::npos : next - close - 1);
        const std::string prefix = "StdVariables#";
        if (key.rfind(prefix, 0) == 0) {
          const size_t n = static_cast<size_t>(std::atoi(key.c_str() + prefix.size()));
          if (d.stdVariables.size() <= n)
            d.stdVariables.resize(n + 1);
          d.stdVariables[n] = value;
        }
        if (next == std::string::npos)
          break;
        at = next;
      }
    } else if (c == 'b') {
      BoardItem block;
      std::string rest;
      if (!ParseItem(line, false, &block, &rest))
        continue;
      blockBase[block.index] = KeyInt(Keys(rest), 'b', 0);
    } else if (c == 'p' || c == 'l' || c == 'f' || c == 'v' || c == 'w' || c == 'y') {
      const bool parameter = c == 'p' || c == 'l' || c == 'f';
      BoardItem item;
      std::string rest;
      if (!ParseItem(line, parameter, &item, &rest))
        continue;
      item.storage = (c == 'p' || c == 'v') ? 0 : (c == 'l' || c == 'w') ? 1 : 2;
      const auto keys = Keys(rest);
      item.block = KeyInt(keys, 'b', 0);
      item.position = KeyInt(keys, 'p', 0);
      item.address = 10 * blockBase[item.block] + item.position;
      if (item.address < 0 || item.address + (item.storage ? 1 : 0) >= 10000)
        continue;
      (parameter ? d.parameters : d.variables).push_back(item);
    }
  }
  // An unnamed slot ends the status-block list, as on the supervisor's side.
  for (size_t i = 0; i < d.stdVariables.size(); ++i) {
    if (d.stdVariables[i].empty() || !d.FindVariable(d.stdVariables[i])) {
      d.stdVariables.resize(i);
      break;
    }
  }
  if (d.parameters.empty() && d.variables.empty()) {
    *error = path + " describes no parameters and no variables";
    return false;
  }
  *out = std::move(d);
  return true;
}
