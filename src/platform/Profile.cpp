#include "Profile.h"

#include "Format.h"

#include <QSettings>

#include <climits>

namespace {
std::unique_ptr<Profile> &InstanceSlot()
{
  static std::unique_ptr<Profile> instance;
  return instance;
}
} // namespace

Profile::Profile()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Norv"),
                                             QStringLiteral("Velotrix")))
{
}

Profile::Profile(const QString &iniPath) : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

Profile::~Profile() = default;

Profile &Profile::Instance()
{
  auto &slot = InstanceSlot();
  if (!slot)
    slot = std::make_unique<Profile>();
  return *slot;
}

void Profile::SetInstance(std::unique_ptr<Profile> profile)
{
  InstanceSlot() = std::move(profile);
}

QString Profile::Key(const QString &section, const QString &entry)
{
  QString group = section;
  group.replace(u'\\', u'/');
  return group.isEmpty() ? entry : group + u'/' + entry;
}

QString Profile::GetProfileString(const QString &section, const QString &entry, const QString &defaultValue) const
{
  const QVariant v = m_settings->value(Key(section, entry));
  if (!v.isValid())
    return defaultValue;
  // QSettings hands back a list for a value holding unquoted commas.
  if (v.userType() == QMetaType::QStringList)
    return v.toStringList().join(u',');
  return v.toString();
}

bool Profile::WriteProfileString(const QString &section, const QString &entry, const QString &value)
{
  m_settings->setValue(Key(section, entry), value);
  return m_settings->status() == QSettings::NoError;
}

int Profile::GetProfileInt(const QString &section, const QString &entry, int defaultValue) const
{
  const QVariant v = m_settings->value(Key(section, entry));
  if (!v.isValid())
    return defaultValue;
  long long n = 0;
  if (!vtx::ParseLongLong(v.toString(), &n))
    return defaultValue;
  // DWORDs above INT_MAX come back as their signed 32-bit pattern.
  if (n < INT_MIN || n > static_cast<long long>(UINT_MAX))
    return defaultValue;
  return static_cast<int>(static_cast<unsigned int>(n));
}

bool Profile::WriteProfileInt(const QString &section, const QString &entry, int value)
{
  return WriteProfileString(section, entry, QString::number(value));
}

bool Profile::Contains(const QString &section, const QString &entry) const
{
  return m_settings->contains(Key(section, entry));
}

bool Profile::RemoveSection(const QString &section)
{
  QString group = section;
  group.replace(u'\\', u'/');
  m_settings->remove(group);
  return m_settings->status() == QSettings::NoError;
}

bool Profile::Sync()
{
  m_settings->sync();
  return m_settings->status() == QSettings::NoError;
}

QString Profile::FileName() const
{
  return m_settings->fileName();
}
