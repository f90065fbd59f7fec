select name from sysobjects where type = "U" order by name
select name from sysobjects where type = "V" order by name
select name from sysobjects where type = "P" order by name
select name from sysobjects where type = "TR" order by name
go
sp_help publishers
go
sp_helptext byroyalty
go
sp_helpindex authors
go
select title, au_ord, au_lname from titleview where pub_id = "0736" order by title, au_ord
go
select p.pub_name, count(*), sum(t.ytd_sales) from publishers p, titles t
    where p.pub_id = t.pub_id group by p.pub_name order by p.pub_name
go
select stor_id, stor_name, orders, units from store_totals order by stor_id
go
select id, full_name from author_names where city = "Hollis Bend" order by id
go
