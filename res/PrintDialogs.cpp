// The "Print Annotations and Margins" dialog (template 144): two title lines, four margins in
// inches and ten lines of comments printed below the plot.
#include "platform/ui/DialogTemplate.h"
#include "res/ResourceGroups.h"

void RegisterPrintDialogs()
{
    using namespace dlg;
    RegisterDialogTemplate(
        {144, "Print Annotations and Margins",
         Column({
             Group("Annotation (centered above plot)",
                   {Grid(2, {Label("Title line 1:"), Edit(1857).Chars(50).Limit(79), Label("Title line 2:"),
                             Edit(1858).Chars(50).Limit(79)})}),
             Group("Margins (inches)", {Grid(4, {Label("Left:"), Edit(1859).Chars(6), Label("Right:"), Edit(1860).Chars(6),
                                                 Label("Top:"), Edit(1861).Chars(6), Label("Bottom:"),
                                                 Edit(1862).Chars(6)})}),
             CheckBox(1863, "Print comment section"),
             Label("Comments (10 lines maximum, shown below plot)"),
             Edit(1864).Multiline().WantReturn().VScroll().Chars(60).Lines(10),
             OkCancel("&Ok", "&Cancel"),
         })});
}
