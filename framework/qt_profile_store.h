#pragma once

struct ProfileServices;

// The settings store on QSettings (INI files, Qt Core only).
const ProfileServices& QtProfileStore();
