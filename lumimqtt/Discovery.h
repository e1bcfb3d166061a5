#pragma once

#include <QByteArray>
#include <QString>

#include "Topics.h"

// The alarm time's form, as Home Assistant's text entity checks it and as the
// bridge decodes it.
inline constexpr const char* kAlarmTimePattern = "^([01]?[0-9]|2[0-3]):[0-5][0-9]$";

// Home Assistant's device-based discovery payload for the panel: the device
// ("dev"), the bridge as its origin ("o") and one component per entity
// ("cmps"), each with its platform ("p"), unique_id and default_entity_id.
QByteArray discoveryPayload(const Topics& topics, const QString& id, const QString& version);

// Home Assistant's object id for a panel: lower case, digits and "_".
QString objectId(const QString& id);
