// The project's web site, named in several catalogue texts of both languages.
#pragma once

#define WEB_ADDRESS "www.talvixos.org"
