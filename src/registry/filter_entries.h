#pragma once

// Takes the remote-control filter drivers out of the keyboard and mouse UpperFilters.
void RemoveFilterDriverEntries();
// Takes "bh" out of the DependOnService value of winmgmt.
void RemoveBhDependency();
